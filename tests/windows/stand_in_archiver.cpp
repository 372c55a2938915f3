// Stands in for 7za.exe where a test needs the archiver to fail, or for an editor or cmd.exe:
// appends its command line, as it arrived, to archiver.log beside itself and exits with the
// code codes.txt beside itself gives its first argument ("d 2", "a 7"). Where console.log is beside
// it, appends the input mode of the console it shares there (0 without one).
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

// "stand_in_archiver.exe hold FILE" is the running game instead: it holds FILE open as the Java
// runtime does (reading, without delete sharing), says "held" and waits to be killed.
int main(int argc, char **argv) {
  if (argc == 3 && std::strcmp(argv[1], "hold") == 0) {
    if (CreateFileA(argv[2], GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, 0, nullptr) == INVALID_HANDLE_VALUE)
      return 2;
    std::puts("held");
    std::fflush(stdout);
    Sleep(INFINITE);
  }
  char module[MAX_PATH];
  std::string folder(module, GetModuleFileNameA(nullptr, module, MAX_PATH));
  folder.erase(folder.rfind('\\') + 1);
  FILE *log = std::fopen((folder + "archiver.log").c_str(), "ab");
  std::fprintf(log, "%s\n", GetCommandLineA());
  std::fclose(log);
  if (FILE *modes = std::fopen((folder + "console.log").c_str(), "r+b")) {
    DWORD mode = 0;
    std::fseek(modes, 0, SEEK_END);
    GetConsoleMode(
        CreateFileW(L"CONIN$", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, 0), &mode);
    std::fprintf(modes, "archiver %#lx\n", static_cast<unsigned long>(mode));
    std::fclose(modes);
  }
  FILE *codes = std::fopen((folder + "codes.txt").c_str(), "rb");
  char command[16];
  int value = 0, code = 0;
  while (codes != nullptr && std::fscanf(codes, "%15s %d", command, &value) == 2)
    if (argc >= 2 && std::strcmp(command, argv[1]) == 0) code = value;
  // A slow one notes when it is done: a run that was ended meanwhile must have ended it too.
  if (GetFileAttributesA((folder + "slow.txt").c_str()) != INVALID_FILE_ATTRIBUTES) {
    Sleep(2000);
    log = std::fopen((folder + "archiver.log").c_str(), "ab");
    std::fputs("done\n", log);
    std::fclose(log);
  }
  return code;
}
