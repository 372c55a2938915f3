// The texts both programs show that read the same on every platform.
#include "shown_texts.h"

#include "child_process.h"

std::string NotExecutableText() {
  return std::string("Cannot start the ") + kArchiverName +
         " archiving program beside this program: it may not be executed.\r\n\r\nRun chmod +x " +
         kArchiverName + " in this folder, then run the installer again.\r\n\r\n";
}
