// The number reader of the settings store on any text. Beyond crashes and
// undefined behaviour: the result is never NaN, nothing is read when nothing
// is consumed, the consumed prefix alone gives the same number, and a plain
// decimal reads as the C library reads it.
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz_input.h"
#include "settings/variables.h"

namespace {

// Up to 15 significant digits, one optional point, an optional sign: exact
// enough in a double that any correct reader agrees to a few units of the
// last place.
bool IsPlainDecimal(std::string_view text) {
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
  int digits = 0;
  bool point = false;
  bool any = false;
  for (; i < text.size(); ++i) {
    if (text[i] >= '0' && text[i] <= '9') {
      any = true;
      if (++digits > 15) return false;
    } else if (text[i] == '.' && !point) {
      point = true;
    } else {
      return false;
    }
  }
  return any;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using pelorin::fuzz::Check;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::size_t consumed = 0;
  const double value = pelorin::ReadNumber(text, &consumed);

  Check(!std::isnan(value), "never NaN");
  Check(consumed <= text.size(), "consumed within the text");
  Check(consumed > 0 || value == 0.0, "nothing read, zero");
  std::size_t again = 0;
  const double prefix_value = pelorin::ReadNumber(text.substr(0, consumed), &again);
  Check(again == consumed &&
            (prefix_value == value || (std::isnan(prefix_value) && std::isnan(value))),
        "the consumed prefix reads the same");

  if (IsPlainDecimal(text)) {
    const std::string copy(text);
    const double expected = std::strtod(copy.c_str(), nullptr);  // "C" locale in a fuzzer
    Check(consumed == text.size(), "a plain decimal is read whole");
    Check(std::fabs(value - expected) <= 1e-14 * std::fabs(expected), "a plain decimal's value");
  }
  (void)pelorin::ReadBoolean(text);
  return 0;
}
