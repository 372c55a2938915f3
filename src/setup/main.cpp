#include "child_process.h"
#include "install_flow.h"

int main() {
  NoteStartSignals();
  RunSetup();
}
