// The steps both programs take to turn a copied vanilla jar into the mod's,
// and to remove an earlier jar or install that may be held for a moment.
#pragma once

#include <functional>
#include <string>

// How one program hands the jar to the archiver. The archiver runs from the
// program's folder (the current one), then from the class folder.
struct JarRuns {
  std::string jar;                // the jar as the program's messages name it
  std::string classFolder;        // the folder whose files go into the jar
  std::string fromProgramFolder;  // the jar in the first run's argument text
  std::string fromClassFolder;    // the jar in the second run's argument text
  bool backHome;                  // the program's folder current again after the second run
};

// Removes what killed archiver runs left beside the jar, has the archiver
// delete META-INF from it, then add every file below the class folder under
// its path there. A run that fails ends the process with its message and exit
// code through AbortWithMessage.
void BuildModdedJar(const JarRuns &runs);

// Calls `remove` up to `attempts` times while `stillThere` says so, 4 s
// apart, each followed by a pause of 100 ms; false when it is still there.
bool RemoveWithRetries(int attempts, const std::function<void()> &remove,
                       const std::function<bool()> &stillThere);
