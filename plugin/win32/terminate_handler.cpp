// std::terminate inside someone else's process: there is no console to
// print the exception's name to, so end at once. Defining the handler here
// also keeps libstdc++'s name demangler (some 60 KB) out of the library.
#include <cstdlib>

namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
