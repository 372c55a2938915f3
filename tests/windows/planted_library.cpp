// A library planted beside the programs under the names of system libraries:
// whatever loads it leaves a mark, NAME.loaded beside it, naming the process.
#include <windows.h>

#include <cstdio>

extern "C" BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  char mark[MAX_PATH + 8] = {}, program[MAX_PATH] = {};
  if (reason == DLL_PROCESS_ATTACH && GetModuleFileNameA(self, mark, MAX_PATH) < MAX_PATH &&
      GetModuleFileNameA(nullptr, program, MAX_PATH) < MAX_PATH) {
    FILE *file = std::fopen(lstrcatA(mark, ".loaded"), "a");
    if (file != nullptr) std::fprintf(file, "%s\n", program), std::fclose(file);
  }
  return TRUE;
}
