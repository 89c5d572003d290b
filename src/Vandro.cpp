// Vandro: browsing and annotating a table of rhetorical relations.
#include "Program.h"

int main(int argc, char **argv) { return vandro::VandroMain(argc, argv); }
