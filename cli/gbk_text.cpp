// GBK to UTF-8 for the core's own texts, without a converter at run time:
// loading glibc's GBK module costs more than the rest of the tool's run.
// This file is compiled with the core's -fexec-charset=GBK, so the compiler
// writes the first literal below in GBK, while the u8 literal stays UTF-8:
// the two hold the same characters, pair by pair.
#include <cstring>

#include "render.h"

namespace {

// Every non-ASCII character of the core's texts. The tool's tests compare
// every routine and message it prints with a full converter, so a character
// missing here shows up there.
#define BAUDCALC_CORE_CHARACTERS                                                                                    \
  "请用实际行动支持砾衡大陆本土统一全球市场使能波特率倍速位不数据可变设定独立" \
  "发生器重装值时钟为即串口选择启清除模式自方初禁止中断当前的无法产指计算载"

const char kGbk[] = BAUDCALC_CORE_CHARACTERS;        // two bytes each
const char kUtf8[] = u8"" BAUDCALC_CORE_CHARACTERS;  // three bytes each
static_assert((sizeof kGbk - 1) % 2 == 0 && (sizeof kUtf8 - 1) % 3 == 0 &&
                  (sizeof kGbk - 1) / 2 == (sizeof kUtf8 - 1) / 3,
              "one GBK pair for each UTF-8 character");

}  // namespace

bool GbkToUtf8(const std::string& gbk, std::string* utf8) {
  std::string out;
  out.reserve(gbk.size() * 3 / 2);
  for (std::size_t i = 0; i < gbk.size();) {
    if (static_cast<unsigned char>(gbk[i]) < 0x80) {
      out += gbk[i++];
      continue;
    }
    std::size_t k = 0;
    while (k + 1 < sizeof kGbk - 1 && !(kGbk[k] == gbk[i] && kGbk[k + 1] == gbk[i + 1])) k += 2;
    if (i + 1 >= gbk.size() || k + 1 >= sizeof kGbk - 1) return false;
    out.append(kUtf8 + k / 2 * 3, 3);
    i += 2;
  }
  *utf8 = std::move(out);
  return true;
}
