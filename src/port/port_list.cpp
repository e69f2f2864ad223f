#include "port/port_list.h"

#include <cctype>
#include <cstddef>

namespace kv218 {

std::string DescribeSerialDevice(const SerialDeviceInfo& device) {
  std::string text = device.vendor;
  if (!device.product.empty()) text += (text.empty() ? "" : " ") + device.product;
  if (!device.usbId.empty()) text += (text.empty() ? "(" : " (") + device.usbId + ")";
  return text;
}

bool NaturalLess(const std::string& a, const std::string& b) {
  const auto digit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < a.size() && j < b.size()) {
    if (digit(a[i]) && digit(b[j])) {
      std::size_t endA = i;
      std::size_t endB = j;
      while (endA < a.size() && digit(a[endA])) ++endA;
      while (endB < b.size() && digit(b[endB])) ++endB;
      // Leading zeros aside, the longer run is the larger number.
      while (i + 1 < endA && a[i] == '0') ++i;
      while (j + 1 < endB && b[j] == '0') ++j;
      if (endA - i != endB - j) return endA - i < endB - j;
      const int order = a.compare(i, endA - i, b, j, endB - j);
      if (order != 0) return order < 0;
      i = endA;
      j = endB;
    } else {
      if (a[i] != b[j]) return a[i] < b[j];
      ++i;
      ++j;
    }
  }
  return a.size() - i < b.size() - j;
}

}  // namespace kv218
