#include "build_flow.h"

int main() { BuildServerFolder(); }
