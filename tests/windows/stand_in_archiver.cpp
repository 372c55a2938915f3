// Stands in for 7za.exe where a test needs the archiver to fail: appends its
// command line (as it arrived) to archiver.log beside itself and exits with
// the code that codes.txt beside itself gives for its first argument, a line
// such as "d 2" or "a 7"; other commands exit with 0.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char **argv) {
  char module[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, module, MAX_PATH);
  std::string folder(module, length);
  folder.erase(folder.rfind('\\') + 1);
  if (FILE *log = std::fopen((folder + "archiver.log").c_str(), "ab")) {
    std::fprintf(log, "%s\n", GetCommandLineA());
    std::fclose(log);
  }
  int code = 0;
  if (FILE *codes = std::fopen((folder + "codes.txt").c_str(), "rb")) {
    char command[16];
    int value = 0;
    while (std::fscanf(codes, "%15s %d", command, &value) == 2)
      if (argc >= 2 && std::strcmp(command, argv[1]) == 0) code = value;
    std::fclose(codes);
  }
  return code;
}
