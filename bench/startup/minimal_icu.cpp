// The floor a start-up is measured against: a C++ program linked with ICU's common library and
// the C++ runtime, both shared, that prints one line.
#include <unicode/uversion.h>

#include <iostream>

int main() {
  UVersionInfo version;
  u_getVersion(version);
  std::cout << "ICU " << static_cast<int>(version[0]) << '\n';
  return 0;
}
