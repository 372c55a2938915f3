#include "install_flow.h"

int main() { RunSetup(); }
