// A stand-in for the product's install utility: appends its arguments, joined
// by one space, as one line to the file named by FAKE_INSTALL_UTILITY_LOG.
#include <cstdlib>
#include <fstream>

int main(int argc, char** argv) {
  const char* log = std::getenv("FAKE_INSTALL_UTILITY_LOG");
  if (log == nullptr || *log == '\0') return 2;
  std::ofstream out(log, std::ios::app);
  for (int i = 1; i < argc; ++i) out << (i > 1 ? " " : "") << argv[i];
  out << '\n';
  return out ? 0 : 1;
}
