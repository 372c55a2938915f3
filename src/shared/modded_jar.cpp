#include "modded_jar.h"

#include "child_process.h"
#include "console.h"
#include "files.h"
#include "shown_texts.h"

void BuildModdedJar(const JarRuns &runs) {
  // A killed run's temporary copies of the jar would stay there for good.
  RemoveArchiverLeftovers(runs.jar);
  // The vanilla signature goes.
  int code = RunCommand(kArchiverName, "d " + runs.fromProgramFolder + " META-INF");
  if (code != 0)
    AbortWithMessage("A error occured while trying to delete META-INF.\r\n\r\nError code: " +
                     ExitCodeText(code));
  // Every file below the class folder, under its path there; "*" also takes
  // the names without a dot that "*.*" would leave out.
  const std::string up = std::string("..") + kPathSeparator + ".." + kPathSeparator;
  ChangeFolder(runs.classFolder);
  code = RunCommand(up + kArchiverName, "a -r " + runs.fromClassFolder + " *");
  if (runs.backHome) ChangeFolder(ProgramFolder());
  if (code != 0)
    AbortWithMessage(
        "An error occured while trying to copy class files to jar archive.\r\n\r\nError code: " +
        ExitCodeText(code));
}

bool RemoveWithRetries(int attempts, const std::function<void()> &remove,
                       const std::function<bool()> &stillThere) {
  remove();
  Pause(100);
  for (int made = 1; made < attempts && stillThere(); ++made) {
    Pause(4000);
    remove();
    Pause(100);
  }
  return !stillThere();
}
