// Links the library, calls nothing of it and exits: the load and unload write the error log.
#include "zaq/foundation.h"

int main() {
    return ErrorLog ? 0 : 1;
}
