#include "build_flow.h"
#include "child_process.h"

int main() {
  NoteStartSignals();
  BuildServerFolder();
}
