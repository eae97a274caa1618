// Commits one fault of the kind named by its argument, so that CTest can
// prove that the sanitizer build turns every such report into a failure:
// "leak" (LeakSanitizer active), "overflow" (AddressSanitizer), "signed" and
// "null" (UndefinedBehaviorSanitizer without recovery).
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void* volatile sink;
volatile int big = INT_MAX;
int* volatile nowhere = nullptr;

}  // namespace

int main(int argc, char** argv) {
  std::string fault = argc > 1 ? argv[1] : "";
  if (fault == "leak") {
    sink = malloc(77);
    sink = nullptr;
  } else if (fault == "overflow") {
    char* block = static_cast<char*>(malloc(8));
    sink = block;
    memset(block, 'x', 9 + (big & 0));
    free(block);
  } else if (fault == "signed") {
    int sum = big + 1;
    sink = &sum;
  } else if (fault == "null") {
    std::printf("%d\n", *nowhere);
  } else {
    std::fprintf(stderr, "usage: sanitizer_canary leak|overflow|signed|null\n");
    return 2;
  }
  std::printf("fault %s went unreported\n", fault.c_str());
  return 0;
}
