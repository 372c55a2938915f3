// The file operations that read the same on every platform; they reach the
// platform only through the others of files.h.
#include "files.h"

#include "shown_texts.h"

bool FolderExists(const std::string &path) {
  // Remember where we are.
  const std::string saved = CurrentFolder();
  // The test is whether the folder can be entered.
  if (!ChangeFolder(path)) return false;
  // Go back; the saved folder is absolute, so this works for any path.
  ChangeFolder(saved);
  return true;
}

void CopyOrAbort(const std::string &source, const std::string &destination) {
  if (CopyFileReplacing(source, destination)) return;
  AbortWithMessage("A error occurred while copying " + source + " to " + destination +
                   "\r\n\r\nInstaller will now exit.");
}

void RemoveNumberedLeftovers(const std::string &path, const std::string &suffix) {
  const std::size_t cut = path.rfind(kPathSeparator[0]);
  const std::string folder = cut == std::string::npos ? "" : path.substr(0, cut + 1);
  const std::string leftover = path.substr(folder.size()) + suffix;
  for (const std::string &name : FindFiles(path + suffix + "*"))
    if (name.compare(0, leftover.size(), leftover) == 0 &&
        name.find_first_not_of("0123456789", leftover.size()) == std::string::npos)
      RemoveFile(folder + name);
}

void RemoveArchiverLeftovers(const std::string &archive) {
  // The archiver writes the new archive beside the old, as ARCHIVE.tmp, or
  // ARCHIVE.tmpN when that is taken, and renames it when done.
  RemoveNumberedLeftovers(archive, ".tmp");
}
