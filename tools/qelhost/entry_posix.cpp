// qelhost's entry point on Linux: the arguments are taken as they are, in the
// terminal's UTF-8.
#include "tools/qelhost/entry.h"

int main(int argc, char** argv) { return qel::qelhost::runQelhost({argv + 1, argv + argc}); }
