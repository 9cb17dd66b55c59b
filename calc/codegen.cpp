#include "codegen.h"

#include <cstdio>

namespace {

// One line (or half line) of the routine in both dialects; null where a
// dialect has nothing.
struct Line {
  const char* c;
  const char* assembly;
};

// clang-format off
const Line kSlogan        = {"//请用实际行动支持砾衡ZQL大陆本土MCU统一全球市场\r\n\r\n",
                             ";请用实际行动支持砾衡ZQL大陆本土MCU统一全球市场\r\n\r\n"};
const Line kHeaderBaud    = {"void UartInit(void)\t\t//%sbps@",   "UARTINIT:\t\t\t;%sbps@"};
const Line kHeaderFosc    = {"%sMHz\r\n",                         "%sMHz\r\n"};
const Line kOpenBrace     = {"{\r\n",                             nullptr};

const Line kSmodOn        = {"\tPCON |= 0x80;\t\t//使能波特率倍速位SMOD\r\n",    "\tORL PCON,#80H\t\t;使能波特率倍速位SMOD\r\n"};
const Line kS2smodOn      = {"\tAUXR |= 0x08;\t\t//使能波特率倍速位S2SMOD\r\n",  "\tORL AUXR,#08H\t\t;使能波特率倍速位S2SMOD\r\n"};
const Line kSmodOff       = {"\tPCON &= 0x7f;\t\t//波特率不倍速\r\n",            "\tANL PCON,#7FH\t\t;波特率不倍速\r\n"};
const Line kS2smodOff     = {"\tAUXR &= 0xf7;\t\t//波特率不倍速\r\n",            "\tANL AUXR,#0F7H\t\t;波特率不倍速\r\n"};

const Line kScon8         = {"\tSCON = 0x50;\t\t//8位数据,可变波特率\r\n",       "\tMOV SCON,#50H\t\t;8位数据,可变波特率\r\n"};
const Line kScon9         = {"\tSCON = 0xd0;\t\t//9位数据,可变波特率\r\n",       "\tMOV SCON,#0D0H\t\t;9位数据,可变波特率\r\n"};
const Line kS2con8        = {"\tS2CON = 0x50;\t\t//8位数据,可变波特率\r\n",      "\tMOV S2CON,#50H\t\t;8位数据,可变波特率\r\n"};
const Line kS2con9        = {"\tS2CON = 0xd0;\t\t//9位数据,可变波特率\r\n",      "\tMOV S2CON,#0D0H\t\t;9位数据,可变波特率\r\n"};

// Independent baud-rate generator
const Line kBrtReload     = {"\tBRT = 0x%02X;\t\t//设定独立波特率发生器重装值\r\n", "\tMOV BRT,#0%02XH\t\t;设定独立波特率发生器重装值\r\n"};
const Line kBrt1T         = {"\tAUXR |= 0x04;\t\t//独立波特率发生器时钟为Fosc,即1T\r\n",     "\tORL AUXR,#04H\t\t;独立波特率发生器时钟为Fosc,即1T\r\n"};
const Line kBrt12T        = {"\tAUXR &= 0xfb;\t\t//独立波特率发生器时钟为Fosc/12,即12T\r\n", "\tANL AUXR,#0FBH\t\t;独立波特率发生器时钟为Fosc/12,即12T\r\n"};
const Line kUart1UsesBrt  = {"\tAUXR |= 0x01;\t\t//串口1选择独立波特率发生器为波特率发生器\r\n", "\tORL AUXR,#01H\t\t;串口1选择独立波特率发生器为波特率发生器\r\n"};
const Line kBrtRun        = {"\tAUXR |= 0x10;\t\t//启动独立波特率发生器\r\n",    "\tORL AUXR,#10H\t\t;启动独立波特率发生器\r\n"};

// Timer 1 in 8-bit auto-reload mode
const Line kTimer1_1T     = {"\tAUXR |= 0x40;\t\t//定时器1时钟为Fosc,即1T\r\n",     "\tORL AUXR,#40H\t\t;定时器1时钟为Fosc,即1T\r\n"};
const Line kTimer1_12T    = {"\tAUXR &= 0xbf;\t\t//定时器1时钟为Fosc/12,即12T\r\n", "\tANL AUXR,#0BFH\t\t;定时器1时钟为Fosc/12,即12T\r\n"};
const Line kUart1UsesT1   = {"\tAUXR &= 0xfe;\t\t//串口1选择定时器1为波特率发生器\r\n", "\tANL AUXR,#0FEH\t\t;串口1选择定时器1为波特率发生器\r\n"};
const Line kTmodClear     = {"\tTMOD &= 0x0f;\t\t//清除定时器1模式位\r\n",       "\tANL TMOD,#0FH\t\t;清除定时器1模式位\r\n"};
const Line kTmodAutoLoad  = {"\tTMOD |= 0x20;\t\t//设定定时器1为8位自动重装方式\r\n", "\tORL TMOD,#20H\t\t;设定定时器1为8位自动重装方式\r\n"};
const Line kTl1           = {"\tTL1 = 0x%02X;\t\t//设定定时初值\r\n",            "\tMOV TL1,#0%02XH\t\t;设定定时初值\r\n"};
const Line kTh1           = {"\tTH1 = 0x%02X;\t\t//设定定时器重装值\r\n",        "\tMOV TH1,#0%02XH\t\t;设定定时器重装值\r\n"};
const Line kEt1Off        = {"\tET1 = 0;\t\t//禁止定时器1中断\r\n",              "\tCLR ET1\t\t\t;禁止定时器1中断\r\n"};
const Line kTr1On         = {"\tTR1 = 1;\t\t//启动定时器1\r\n",                  "\tSETB TR1\t\t;启动定时器1\r\n"};

const Line kEnd           = {"}\r\n",                             "\tRET\r\n"};
// clang-format on

struct Emitter {
  Dialect dialect;
  Fragment* out;
  int count;

  void Emit(const Line& line, Fragment::Arg arg = Fragment::kNone, const char* text = nullptr,
            int reload = 0) {
    const char* format = dialect == Dialect::C ? line.c : line.assembly;
    if (format) out[count++] = Fragment{format, arg, text, reload};
  }
};

}  // namespace

int GenerateCode(Dialect dialect, const UartSettings& s, int reload, Fragment out[kMaxFragments]) {
  Emitter e{dialect, out, 0};
  const bool port2 = s.SecondPort();

  e.Emit(kSlogan);
  e.Emit(kHeaderBaud, Fragment::kText, s.baud);
  e.Emit(kHeaderFosc, Fragment::kText, s.fosc);
  e.Emit(kOpenBrace);
  if (s.doubling)
    e.Emit(port2 ? kS2smodOn : kSmodOn);
  else
    e.Emit(port2 ? kS2smodOff : kSmodOff);
  if (s.NineBits())
    e.Emit(port2 ? kS2con9 : kScon9);
  else
    e.Emit(port2 ? kS2con8 : kScon8);

  if (s.IndependentGenerator()) {
    e.Emit(kBrtReload, Fragment::kReload, nullptr, reload);
    e.Emit(s.FullRateClock() ? kBrt1T : kBrt12T);
    if (!port2) e.Emit(kUart1UsesBrt);
    e.Emit(kBrtRun);
  } else {
    // The port rule keeps the second port off Timer 1, so the port is not asked.
    e.Emit(s.FullRateClock() ? kTimer1_1T : kTimer1_12T);
    e.Emit(kUart1UsesT1);
    e.Emit(kTmodClear);
    e.Emit(kTmodAutoLoad);
    e.Emit(kTl1, Fragment::kReload, nullptr, reload);
    e.Emit(kTh1, Fragment::kReload, nullptr, reload);
    e.Emit(kEt1Off);
    e.Emit(kTr1On);
  }
  e.Emit(kEnd);
  return e.count;
}

int FormatFragment(const Fragment& f, char* out, std::size_t size) {
  switch (f.arg) {
    case Fragment::kText:
      return std::snprintf(out, size, f.format, f.text);
    case Fragment::kReload:
      return std::snprintf(out, size, f.format, static_cast<unsigned>(f.reload));
    case Fragment::kNone:
      break;
  }
  return std::snprintf(out, size, "%s", f.format);
}

std::size_t FormatRoutine(Dialect dialect, const UartSettings& settings, int reload, char* out,
                          std::size_t size) {
  Fragment fragments[kMaxFragments];
  const int count = GenerateCode(dialect, settings, reload, fragments);
  std::size_t length = 0;
  if (size > 0) out[0] = '\0';
  for (int i = 0; i < count; ++i) {
    const std::size_t used = length < size ? length : size;
    const int n = FormatFragment(fragments[i], out + used, size - used);
    if (n > 0) length += static_cast<std::size_t>(n);
  }
  return length;
}
