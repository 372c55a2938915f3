// ServerSetup's flow: builds ../1.6.4-BRAX-HDS/ beside the program's folder
// from the vanilla jar, the archiver and the server source folder.
#pragma once

// The main routine; ends the process through AbortWithMessage on every path.
[[noreturn]] void BuildServerFolder();
