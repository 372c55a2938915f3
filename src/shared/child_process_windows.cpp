// Starting a child on Windows: suspended, in the job that ends it with us,
// resumed, waited for.
#include <windows.h>

#include "child_process.h"
#include "text_windows.h"

const char kArchiverName[] = "7za.exe";

namespace {

// The children we wait for end with us, however we end (Task Manager's End
// task too): a job that ends what is in it when its last handle, ours, closes.
// Where the child cannot join (Windows 7 with us in a job already) it runs on.
void EndWithUs(HANDLE child) {
  static HANDLE job = [] {
    HANDLE created = CreateJobObjectW(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (created != nullptr)
      SetInformationJobObject(created, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    return created;
  }();
  if (job != nullptr) AssignProcessToJobObject(job, child);
}

// Starts `program` (a path, never searched for) with the command line `line`
// and waits for it: its exit code, or -1 when it could not start. It starts
// suspended, so that it has done nothing before it is in the job, and is
// resumed whether it could join or not.
int StartAndWait(const std::wstring &program, std::wstring line) {
  // Our standard handles, as the runtime's spawn passed them: the child's
  // output reaches a redirected output of ours.
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION child = {};
  if (!CreateProcessW(program.c_str(), &line[0], nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr,
                      nullptr, &startup, &child))
    return -1;
  EndWithUs(child.hProcess);
  ResumeThread(child.hThread);
  WaitForSingleObject(child.hProcess, INFINITE);
  DWORD code = 0;
  if (!GetExitCodeProcess(child.hProcess, &code)) code = static_cast<DWORD>(-1);
  CloseHandle(child.hThread);
  CloseHandle(child.hProcess);
  return static_cast<int>(code);
}

}  // namespace

int RunCommand(const std::string &program, const std::string &arguments) {
  if (program.empty()) return -1;
  // The program's path, then the argument text after one space, as the
  // runtime's spawn joined them: the flows name the archiver without a blank.
  const std::wstring path = WideFromUtf8(program);
  return StartAndWait(path, path + L" " + WideFromUtf8(arguments));
}

void NoteStartSignals() {}

void IgnoreBrokenPipe() {}
