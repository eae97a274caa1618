// Must not compile: the core may use neither the import pipeline nor a face.
#include "import_book.h"
