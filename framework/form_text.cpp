// The text streamed form: FormToText and ParseTextForm. Floats travel as
// decimal text that converts to and from their raw bytes exactly (shortest
// digits that read back to the same bits), without help from the host's
// long double, whose width differs between compilers.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <limits>

#include "framework/exceptions.h"
#include "framework/form_codec.h"

namespace {

// ---------------------------------------------------------------------------
// Exact decimal <-> binary floating point, through a small unsigned bignum.

class TBig {
  std::vector<uint32_t> FLimbs;  // little-endian, no zero limb at the top

  void Trim() {
    while (!FLimbs.empty() && FLimbs.back() == 0) FLimbs.pop_back();
  }

public:
  TBig() = default;
  explicit TBig(uint64_t v) {
    while (v) {
      FLimbs.push_back(uint32_t(v));
      v >>= 32;
    }
  }
  bool IsZero() const { return FLimbs.empty(); }
  size_t BitLength() const {
    if (FLimbs.empty()) return 0;
    uint32_t top = FLimbs.back();
    size_t bits = 0;
    while (top) {
      ++bits;
      top >>= 1;
    }
    return (FLimbs.size() - 1) * 32 + bits;
  }
  void MulAdd(uint32_t m, uint32_t a) {
    uint64_t carry = a;
    for (uint32_t& limb : FLimbs) {
      const uint64_t t = uint64_t(limb) * m + carry;
      limb = uint32_t(t);
      carry = t >> 32;
    }
    if (carry) FLimbs.push_back(uint32_t(carry));
    Trim();
  }
  void Multiply(const TBig& b) {
    if (b.FLimbs.size() == 1) return MulAdd(b.FLimbs[0], 0);
    std::vector<uint32_t> r(FLimbs.size() + b.FLimbs.size(), 0);
    for (size_t i = 0; i < FLimbs.size(); ++i) {
      uint64_t carry = 0;
      for (size_t j = 0; j < b.FLimbs.size(); ++j) {
        const uint64_t t = uint64_t(FLimbs[i]) * b.FLimbs[j] + r[i + j] + carry;
        r[i + j] = uint32_t(t);
        carry = t >> 32;
      }
      r[i + b.FLimbs.size()] = uint32_t(carry);
    }
    FLimbs = std::move(r);
    Trim();
  }
  uint32_t DivSmall(uint32_t d) {  // returns the remainder
    uint64_t rem = 0;
    for (size_t i = FLimbs.size(); i-- > 0;) {
      const uint64_t cur = (rem << 32) | FLimbs[i];
      FLimbs[i] = uint32_t(cur / d);
      rem = cur % d;
    }
    Trim();
    return uint32_t(rem);
  }
  void ShiftLeft(size_t bits) {
    if (IsZero() || bits == 0) return;
    const size_t limbs = bits / 32, rest = bits % 32;
    FLimbs.insert(FLimbs.begin(), limbs, 0);
    if (rest) {
      uint32_t carry = 0;
      for (size_t i = limbs; i < FLimbs.size(); ++i) {
        const uint32_t v = FLimbs[i];
        FLimbs[i] = (v << rest) | carry;
        carry = v >> (32 - rest);
      }
      if (carry) FLimbs.push_back(carry);
    }
  }
  void ShiftRight1() {
    for (size_t i = 0; i < FLimbs.size(); ++i)
      FLimbs[i] = (FLimbs[i] >> 1) | (i + 1 < FLimbs.size() ? FLimbs[i + 1] << 31 : 0);
    Trim();
  }
  static int Compare(const TBig& a, const TBig& b) {
    if (a.FLimbs.size() != b.FLimbs.size()) return a.FLimbs.size() < b.FLimbs.size() ? -1 : 1;
    for (size_t i = a.FLimbs.size(); i-- > 0;)
      if (a.FLimbs[i] != b.FLimbs[i]) return a.FLimbs[i] < b.FLimbs[i] ? -1 : 1;
    return 0;
  }
  void Subtract(const TBig& b) {  // *this >= b
    int64_t borrow = 0;
    for (size_t i = 0; i < FLimbs.size(); ++i) {
      int64_t t = int64_t(FLimbs[i]) - (i < b.FLimbs.size() ? b.FLimbs[i] : 0) - borrow;
      borrow = t < 0;
      FLimbs[i] = uint32_t(t + (borrow << 32));
    }
    Trim();
  }
  std::string ToDecimal() const {
    if (IsZero()) return "0";
    TBig t = *this;
    std::string out;
    while (!t.IsZero()) {
      uint32_t chunk = t.DivSmall(1000000000u);
      for (int i = 0; i < 9; ++i) {
        out.push_back(char('0' + chunk % 10));
        chunk /= 10;
      }
    }
    while (out.size() > 1 && out.back() == '0') out.pop_back();
    std::reverse(out.begin(), out.end());
    return out;
  }
};

// 5^k for exponents near each other: one float's text tries a few digit
// counts, whose powers differ by a few steps, so each is derived from the last.
class TPow5Cache {
  int64_t FK = 0;
  TBig FValue{1};

public:
  const TBig& Get(int64_t k) {
    static const uint32_t small[] = {1, 5, 25, 125, 625, 3125, 15625, 78125, 390625, 1953125,
                                     9765625, 48828125, 244140625, 1220703125};
    if (k < FK / 2) {  // cheaper to start again
      FK = 0;
      FValue = TBig(1);
    }
    for (; FK < k; FK += std::min<int64_t>(13, k - FK)) FValue.MulAdd(small[std::min<int64_t>(13, k - FK)], 0);
    for (; FK > k; FK -= std::min<int64_t>(13, FK - k)) FValue.DivSmall(small[std::min<int64_t>(13, FK - k)]);
    return FValue;
  }
};

// value = Mantissa * 2^Exponent; Mantissa < 2^P, and at least 2^(P-1) unless
// Exponent is MinExp (zero and subnormals).
struct TFloatFormat {
  int P, MinExp, MaxExp;
};
constexpr TFloatFormat ExtendedFormat{64, -16445, 16320};
constexpr TFloatFormat DoubleFormat{53, -1074, 971};
constexpr TFloatFormat SingleFormat{24, -149, 104};

struct TBinaryFloat {
  bool Negative = false;
  uint64_t Mantissa = 0;
  int Exponent = 0;
};

// A decimal number: Negative, Digits (no leading zeros; empty for zero) times 10^Exp10.
struct TDecimal {
  bool Negative = false;
  std::string Digits;
  int64_t Exp10 = 0;

  void Normalize() {
    const size_t first = Digits.find_first_not_of('0');
    Digits.erase(0, first == std::string::npos ? Digits.size() : first);
    while (!Digits.empty() && Digits.back() == '0') {
      Digits.pop_back();
      ++Exp10;
    }
    if (Digits.empty()) Exp10 = 0;
  }
};

// Rounds a decimal to the nearest float of the format, ties to even.
// Returns false when the magnitude is beyond the format's largest finite value.
bool DecimalToBinary(const TDecimal& d, const TFloatFormat& f, TBinaryFloat& out,
                     TPow5Cache* powers = nullptr) {
  out = TBinaryFloat{d.Negative, 0, f.MinExp};
  if (d.Digits.empty()) return true;
  const int64_t nd = int64_t(d.Digits.size());
  // value < 10^(nd + Exp10) and >= 10^(nd - 1 + Exp10); 0.30103 > log10(2).
  if (nd - 1 + d.Exp10 > int64_t((f.MaxExp + f.P) * 0.30103) + 1) return false;
  if (nd + d.Exp10 < int64_t((f.MinExp - 1) * 0.30103) - 1) return true;  // below half the least subnormal

  // value = num / den * 2^Exp10: the powers of ten split into fives and twos.
  TPow5Cache ownPowers;
  TPow5Cache& pow5 = powers ? *powers : ownPowers;
  TBig num, den(1);
  for (char c : d.Digits) num.MulAdd(10, uint32_t(c - '0'));
  if (d.Exp10 >= 0)
    num.Multiply(pow5.Get(d.Exp10));
  else
    den = pow5.Get(-d.Exp10);
  // value / 2^e lands in [2^(P-1), 2^(P+1)) for this e.
  int64_t e = int64_t(num.BitLength()) - int64_t(den.BitLength()) + d.Exp10 - f.P;
  if (e < f.MinExp) e = f.MinExp;
  for (;;) {
    TBig n = num, dd = den;
    if (d.Exp10 - e >= 0) n.ShiftLeft(size_t(d.Exp10 - e)); else dd.ShiftLeft(size_t(e - d.Exp10));
    // Long division for P+1 quotient bits; a set top bit means e is one too small.
    TBig shifted = dd;
    shifted.ShiftLeft(size_t(f.P));
    if (TBig::Compare(n, shifted) >= 0) {
      ++e;
      continue;
    }
    uint64_t q = 0;
    for (int b = f.P - 1; b >= 0; --b) {
      shifted.ShiftRight1();
      if (TBig::Compare(n, shifted) >= 0) {
        n.Subtract(shifted);
        q |= uint64_t(1) << b;
      }
    }
    // n is the remainder; compare 2n with the divisor.
    n.ShiftLeft(1);
    const int c = TBig::Compare(n, dd);
    if (c > 0 || (c == 0 && (q & 1))) {
      ++q;
      if (f.P < 64 ? q == (uint64_t(1) << f.P) : q == 0) {
        q = uint64_t(1) << (f.P - 1);
        ++e;
      }
    }
    if (e > f.MaxExp) return false;
    out.Mantissa = q;
    out.Exponent = int(e);
    if (q == 0) out.Exponent = f.MinExp;
    return true;
  }
}

// The leading digits of a float's exact value, at least 30 of them, and
// whether any non-zero digit follows (Sticky). Enough to round to any count
// of digits below 30 exactly, without writing out the thousands of digits
// that an extreme exponent has.
struct TLeadingDecimal {
  TDecimal Value;
  bool Sticky = false;
};

TLeadingDecimal LeadingDecimal(const TBinaryFloat& b, TPow5Cache& pow5) {
  TLeadingDecimal r;
  r.Value.Negative = b.Negative;
  if (b.Mantissa == 0) return r;
  TBig num(b.Mantissa), den(1);
  if (b.Exponent >= 0) num.ShiftLeft(size_t(b.Exponent)); else den.ShiftLeft(size_t(-b.Exponent));
  // value * 10^k lands in [10^30, 10^33) or close to it; 0.30103 > log10(2).
  const int64_t decimalExp =
      int64_t((int64_t(num.BitLength()) - int64_t(den.BitLength())) * 0.30103);
  const int64_t k = 31 - decimalExp;
  if (k >= 0) {
    num.Multiply(pow5.Get(k));
    num.ShiftLeft(size_t(k));
  } else {
    den.Multiply(pow5.Get(-k));
    den.ShiftLeft(size_t(-k));
  }
  // Quotient by long division over at most 120 bits (10^36 < 2^120).
  TBig q;
  TBig shifted = den;
  shifted.ShiftLeft(120);
  for (int bit = 119; bit >= 0; --bit) {
    shifted.ShiftRight1();
    q.ShiftLeft(1);
    if (TBig::Compare(num, shifted) >= 0) {
      num.Subtract(shifted);
      q.MulAdd(1, 1);
    }
  }
  r.Sticky = !num.IsZero();
  r.Value.Digits = q.ToDecimal();
  r.Value.Exp10 = -k;
  if (!r.Sticky) r.Value.Normalize();
  return r;
}

// The first n digits, rounded half to even on the exact rest.
TDecimal RoundDigits(const TLeadingDecimal& d, size_t n) {
  if (n >= d.Value.Digits.size()) return d.Value;
  TDecimal r = d.Value;
  r.Digits = d.Value.Digits.substr(0, n);
  r.Exp10 = d.Value.Exp10 + int64_t(d.Value.Digits.size() - n);
  const char next = d.Value.Digits[n];
  const bool restNonZero =
      d.Sticky || d.Value.Digits.find_first_not_of('0', n + 1) != std::string::npos;
  const bool up = next > '5' || (next == '5' && (restNonZero || ((r.Digits.back() - '0') & 1)));
  if (up) {
    size_t i = r.Digits.size();
    while (i > 0 && r.Digits[i - 1] == '9') r.Digits[--i] = '0';
    if (i == 0)
      r.Digits.insert(r.Digits.begin(), '1');
    else
      ++r.Digits[i - 1];
  }
  r.Normalize();
  return r;
}

void Canonical(TBinaryFloat& b) {
  if (b.Mantissa == 0) {
    b.Exponent = 0;
    return;
  }
  while (!(b.Mantissa & 1)) {
    b.Mantissa >>= 1;
    ++b.Exponent;
  }
}

// The shortest decimal that reads back to the same value. 21 digits always
// do for a 64-bit mantissa and the leading digits hold at least 30; more
// digits are never further from the value, so a binary search finds the count.
TDecimal ShortestDecimal(const TBinaryFloat& b, const TFloatFormat& f) {
  TPow5Cache pow5;
  const TLeadingDecimal leading = LeadingDecimal(b, pow5);
  if (leading.Value.Digits.empty()) return leading.Value;
  TBinaryFloat want = b;
  Canonical(want);
  const auto readsBack = [&](const TDecimal& candidate) {
    TBinaryFloat back;
    if (!DecimalToBinary(candidate, f, back, &pow5)) return false;
    Canonical(back);
    return back.Mantissa == want.Mantissa && back.Exponent == want.Exponent;
  };
  size_t lo = 1, hi = std::min<size_t>(f.P == 64 ? 21 : f.P == 53 ? 17 : 9, leading.Value.Digits.size());
  if (!readsBack(RoundDigits(leading, hi))) return RoundDigits(leading, leading.Value.Digits.size());
  while (lo < hi) {
    const size_t mid = (lo + hi) / 2;
    if (readsBack(RoundDigits(leading, mid)))
      hi = mid;
    else
      lo = mid + 1;
  }
  return RoundDigits(leading, hi);
}

// "1.5", "100.0", "0.001", "1.5E-7", "1E20": always a '.' or an 'E', so that
// the text reads back as a float and not as an integer.
std::string FormatDecimal(const TDecimal& d) {
  std::string s = d.Negative ? "-" : "";
  if (d.Digits.empty()) return s + "0.0";
  const int64_t len = int64_t(d.Digits.size());
  const int64_t sciExp = len - 1 + d.Exp10;
  if (sciExp >= -5 && sciExp < 18) {
    if (d.Exp10 >= 0) return s + d.Digits + std::string(size_t(d.Exp10), '0') + ".0";
    if (sciExp >= 0)
      return s + d.Digits.substr(0, size_t(sciExp + 1)) + "." + d.Digits.substr(size_t(sciExp + 1));
    return s + "0." + std::string(size_t(-sciExp - 1), '0') + d.Digits;
  }
  s += d.Digits.substr(0, 1);
  if (len > 1) s += "." + d.Digits.substr(1);
  return s + "E" + std::to_string(sciExp);
}

uint64_t LoadLittle(const std::vector<uint8_t>& bytes, size_t at, size_t n) {
  uint64_t v = 0;
  for (size_t i = 0; i < n; ++i) v |= uint64_t(bytes[at + i]) << (8 * i);
  return v;
}

void StoreLittle(std::vector<uint8_t>& bytes, uint64_t v, size_t n) {
  for (size_t i = 0; i < n; ++i) bytes.push_back(uint8_t(v >> (8 * i)));
}

// Raw bytes to value; false for infinities and NaNs.
bool DecodeFloat(TValueType type, const std::vector<uint8_t>& raw, TBinaryFloat& b,
                 TFloatFormat& f) {
  if (type == TValueType::vaExtended) {
    f = ExtendedFormat;
    const uint64_t m = LoadLittle(raw, 0, 8);
    const uint32_t se = uint32_t(LoadLittle(raw, 8, 2));
    const int e = int(se & 0x7FFF);
    if (e == 0x7FFF) return false;
    // The integer bit is explicit; unnormals and pseudo-denormals keep their value.
    b = {(se & 0x8000) != 0, m, e == 0 ? -16445 : e - 16446};
    return true;
  }
  const bool single = type == TValueType::vaSingle;
  f = single ? SingleFormat : DoubleFormat;
  const int fracBits = f.P - 1, expBits = single ? 8 : 11;
  const uint64_t u = LoadLittle(raw, 0, single ? 4 : 8);
  const uint64_t frac = u & ((uint64_t(1) << fracBits) - 1);
  const int e = int((u >> fracBits) & ((1u << expBits) - 1));
  if (e == (1 << expBits) - 1) return false;
  const bool negative = (u >> (fracBits + expBits)) & 1;
  if (e == 0)
    b = {negative, frac, f.MinExp};
  else
    b = {negative, frac | (uint64_t(1) << fracBits), e + f.MinExp - 1};
  return true;
}

std::vector<uint8_t> EncodeFloat(TValueType type, const TBinaryFloat& b) {
  std::vector<uint8_t> raw;
  if (type == TValueType::vaExtended) {
    const bool normal = b.Mantissa >> 63;
    const uint32_t e = normal ? uint32_t(b.Exponent + 16446) : 0;
    StoreLittle(raw, b.Mantissa, 8);
    StoreLittle(raw, e | (b.Negative ? 0x8000u : 0u), 2);
    return raw;
  }
  const bool single = type == TValueType::vaSingle;
  const TFloatFormat f = single ? SingleFormat : DoubleFormat;
  const int fracBits = f.P - 1, expBits = single ? 8 : 11;
  const bool normal = (b.Mantissa >> fracBits) & 1;
  const uint64_t e = normal ? uint64_t(b.Exponent - f.MinExp + 1) : 0;
  const uint64_t u = (b.Mantissa & ((uint64_t(1) << fracBits) - 1)) | (e << fracBits) |
                     (uint64_t(b.Negative) << (fracBits + expBits));
  StoreLittle(raw, u, single ? 4 : 8);
  return raw;
}

// ---------------------------------------------------------------------------
// Names and strings shared by the writer and the parser.

bool IsIdentStart(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool IsIdentChar(char c) { return IsIdentStart(c) || (c >= '0' && c <= '9'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsIdent(std::string_view s) {
  if (s.empty() || !IsIdentStart(s[0])) return false;
  return std::all_of(s.begin(), s.end(), IsIdentChar);
}

bool IsDottedIdent(std::string_view s) {
  for (;;) {
    const size_t dot = s.find('.');
    if (!IsIdent(s.substr(0, dot))) return false;
    if (dot == std::string_view::npos) return true;
    s.remove_prefix(dot + 1);
  }
}

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = char(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = char(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

bool IsObjectKeyword(std::string_view s) {
  return SameText(s, "object") || SameText(s, "inherited") || SameText(s, "inline");
}

// Strict UTF-8 to UTF-16; false on malformed input.
bool Utf8ToUtf16(const std::string& s, std::u16string& out) {
  out.clear();
  for (size_t i = 0; i < s.size();) {
    const uint8_t b = uint8_t(s[i]);
    const size_t n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return false;
    uint32_t cp = n == 1 ? b : b & (0x7F >> n);
    for (size_t k = 1; k < n; ++k) {
      const uint8_t c = uint8_t(s[i + k]);
      if ((c & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (c & 0x3F);
    }
    static const uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < least[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(char16_t(0xD800 + (cp >> 10)));
      out.push_back(char16_t(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(char16_t(cp));
    }
    i += n;
  }
  return true;
}

// ---------------------------------------------------------------------------
// Writer.

constexpr size_t LineLength = 64;     // characters of a string per line
constexpr size_t BytesPerLine = 32;   // bytes of a binary value per line

uint32_t Unit(char c) { return uint8_t(c); }
uint32_t Unit(char16_t c) { return c; }

class TTextFormWriter {
  std::string FOut;
  std::string FContext;

  [[noreturn]] void Fail(const std::string& what) const {
    throw EWriteError(what + (FContext.empty() ? "" : " (in " + FContext + ")"));
  }

  void Indent(int level) { FOut.append(size_t(level) * 2, ' '); }
  void NewLine(int level) {
    FOut += '\n';
    Indent(level);
  }

  // Quoted runs of printable ASCII, #n for every other unit; long strings
  // start on a line of their own and continue with '+'.
  template <class TUnits>
  void Text(const TUnits& s, int level) {
    if (s.empty()) {
      FOut += "''";
      return;
    }
    if (s.size() > LineLength) {
      if (!FOut.empty() && FOut.back() == ' ') FOut.pop_back();  // "Name =" ends its line
      NewLine(level + 1);
    }
    bool quoted = false;
    size_t lineStart = 0;
    for (size_t i = 0; i < s.size();) {
      const uint32_t c = Unit(s[i]);
      if (c >= 32 && c <= 126) {
        if (!quoted) FOut += '\'';
        quoted = true;
        FOut += c == '\'' ? "''" : std::string(1, char(c));
      } else {
        if (quoted) FOut += '\'';
        quoted = false;
        FOut += '#' + std::to_string(c);
      }
      ++i;
      if (i - lineStart >= LineLength && i < s.size()) {
        if (quoted) FOut += '\'';
        quoted = false;
        FOut += " +";
        NewLine(level + 1);
        lineStart = i;
      }
    }
    if (quoted) FOut += '\'';
  }

  void Float(const TFormValue& v) {
    TBinaryFloat b;
    TFloatFormat f;
    if (!DecodeFloat(v.Type, v.Bytes, b, f))
      Fail(std::string("Infinite or NaN ") + ValueTypeName(v.Type) + " value");
    FOut += FormatDecimal(ShortestDecimal(b, f));
  }

  void Value(const TFormValue& v, int level, int depth) {
    static const char Hex[] = "0123456789ABCDEF";
    if (IsIntegerType(v.Type)) {
      FOut += std::to_string(v.Int);
      return;
    }
    switch (v.Type) {
      case TValueType::vaNull: FOut += "Null"; return;
      case TValueType::vaNil: FOut += "nil"; return;
      case TValueType::vaFalse: FOut += "False"; return;
      case TValueType::vaTrue: FOut += "True"; return;
      case TValueType::vaExtended:
      case TValueType::vaSingle:
      case TValueType::vaDate:
      case TValueType::vaCurrency: {
        const size_t need = v.Type == TValueType::vaExtended ? 10 : v.Type == TValueType::vaSingle ? 4 : 8;
        if (v.Bytes.size() != need)
          Fail(std::string(ValueTypeName(v.Type)) + " needs " + std::to_string(need) + " raw bytes");
        if (v.Type == TValueType::vaCurrency) {
          // The platform writes a currency as its raw count of 1/10000 units.
          FOut += std::to_string(int64_t(LoadLittle(v.Bytes, 0, 8))) + "c";
          return;
        }
        Float(v);
        if (v.Type == TValueType::vaSingle) FOut += 's';
        if (v.Type == TValueType::vaDate) FOut += 'd';
        return;
      }
      case TValueType::vaString:
      case TValueType::vaLString:
        Text(v.Str, level);
        return;
      case TValueType::vaWString:
        Text(v.WStr, level);
        return;
      case TValueType::vaUTF8String: {
        std::u16string w;
        if (!Utf8ToUtf16(v.Str, w)) Fail("Malformed UTF-8 string");
        Text(w, level);
        return;
      }
      case TValueType::vaIdent:
        if (!IsDottedIdent(v.Str)) Fail("Identifier value '" + v.Str + "' is not an identifier");
        if (SameText(std::string_view(v.Str).substr(0, v.Str.find('.')), "end"))
          Fail("Identifier value '" + v.Str + "' starts with the keyword 'end'");
        FOut += v.Str;
        return;
      case TValueType::vaBinary:
        FOut += '{';
        for (size_t i = 0; i < v.Bytes.size(); ++i) {
          if (v.Bytes.size() >= BytesPerLine && i % BytesPerLine == 0) NewLine(level + 1);
          FOut += Hex[v.Bytes[i] >> 4];
          FOut += Hex[v.Bytes[i] & 15];
        }
        FOut += '}';
        return;
      case TValueType::vaSet:
        FOut += '[';
        for (size_t i = 0; i < v.Set.size(); ++i) {
          if (!IsIdent(v.Set[i])) Fail("Set element '" + v.Set[i] + "' is not an identifier");
          if (i) FOut += ", ";
          FOut += v.Set[i];
        }
        FOut += ']';
        return;
      case TValueType::vaList:
        if (depth >= MaxFormNesting)
          Fail("Lists and collections nested deeper than " + std::to_string(MaxFormNesting));
        FOut += '(';
        for (const TFormValue& e : v.List) {
          if (e.Type == TValueType::vaNull) Fail("Null value inside a list");
          NewLine(level + 1);
          Value(e, level + 1, depth + 1);
        }
        FOut += ')';
        return;
      case TValueType::vaCollection:
        if (depth >= MaxFormNesting)
          Fail("Lists and collections nested deeper than " + std::to_string(MaxFormNesting));
        FOut += '<';
        for (const TFormCollectionItem& item : v.Items) {
          NewLine(level + 1);
          FOut += "item";
          if (item.HasOrder) FOut += " [" + std::to_string(item.Order) + "]";
          FOut += '\n';
          Properties(item.Properties, level + 2, depth + 1);
          Indent(level + 1);
          FOut += "end";
        }
        FOut += '>';
        return;
      default:
        Fail("Unknown value type " + std::to_string(int(v.Type)));
    }
  }

  void Properties(const std::vector<TFormProperty>& properties, int level, int depth) {
    const std::string outer = FContext;
    for (const TFormProperty& p : properties) {
      FContext = "property '" + p.Name + "'" + (outer.empty() ? "" : " of " + outer);
      if (!IsDottedIdent(p.Name)) Fail("Property name '" + p.Name + "' is not an identifier");
      const std::string_view first = std::string_view(p.Name).substr(0, p.Name.find('.'));
      if (IsObjectKeyword(first) || SameText(first, "end"))
        Fail("Property name '" + p.Name + "' is a keyword of the text form");
      Indent(level);
      FOut += p.Name + " = ";
      Value(p.Value, level, depth);
      FOut += '\n';
    }
    FContext = outer;
  }

  void Object(const TFormObject& o, int level) {
    const std::string outer = FContext;
    FContext = "object '" + (o.Name.empty() ? "<" + o.ClassName + ">" : o.Name) + "'";
    if (level >= MaxFormNesting) Fail("Objects nested deeper than " + std::to_string(MaxFormNesting));
    if (!IsIdent(o.ClassName)) Fail("Class name '" + o.ClassName + "' is not an identifier");
    if (!o.Name.empty() && !IsIdent(o.Name))
      Fail("Object name '" + o.Name + "' is not an identifier");
    Indent(level);
    FOut += (o.Flags & ffInline) ? "inline " : (o.Flags & ffInherited) ? "inherited " : "object ";
    if (!o.Name.empty()) FOut += o.Name + ": ";
    FOut += o.ClassName;
    if (o.Flags & ffChildPos) FOut += " [" + std::to_string(o.ChildPos) + "]";
    FOut += '\n';
    Properties(o.Properties, level + 1, 0);
    for (const TFormObject& child : o.Children) Object(child, level + 1);
    Indent(level);
    FOut += "end\n";
    FContext = outer;
  }

public:
  std::string Form(const TFormObject& form) {
    Object(form, 0);
    return std::move(FOut);
  }
};

// ---------------------------------------------------------------------------
// Parser.

enum class TTokenKind { tkEnd, tkIdent, tkInteger, tkFloat, tkString, tkBinary, tkSymbol };

struct TToken {
  TTokenKind Kind = TTokenKind::tkEnd;
  int Line = 1;
  bool SpaceBefore = false;  // whitespace or a comment right before it
  std::string Text;          // identifier, symbol
  int64_t Int = 0;
  TDecimal Number;           // tkFloat
  char Suffix = 0;           // tkFloat: 's', 'c', 'd' or 0
  std::u16string Units;      // tkString: each quoted byte or #n escape
  bool Wide = false;         // tkString: an escape above 255
  std::vector<uint8_t> Bytes;  // tkBinary
};

constexpr size_t MaxNumberDigits = 1000;

class TTextFormParser {
  std::string_view FText;
  size_t FPos = 0;
  int FLine = 1;
  TToken FToken;
  const TFormFunction* FFunction;

  [[noreturn]] void FailAt(int line, const std::string& what) const {
    throw EParserError("Line " + std::to_string(line) + ": " + what);
  }
  [[noreturn]] void Fail(const std::string& what) const { FailAt(FToken.Line, what); }

  static std::string Shown(char c) {
    if (c >= 32 && c <= 126) return std::string("'") + c + "'";
    return "#" + std::to_string(uint8_t(c));
  }

  std::string Describe(const TToken& t) const {
    switch (t.Kind) {
      case TTokenKind::tkEnd: return "the end of the text";
      case TTokenKind::tkIdent: return "'" + t.Text + "'";
      case TTokenKind::tkInteger: return "the number " + std::to_string(t.Int);
      case TTokenKind::tkFloat: return "a number";
      case TTokenKind::tkString: return "a string";
      case TTokenKind::tkBinary: return "binary data";
      case TTokenKind::tkSymbol: return "'" + t.Text + "'";
    }
    return "?";
  }

  char Peek(size_t ahead = 0) const {
    return FPos + ahead < FText.size() ? FText[FPos + ahead] : '\0';
  }
  bool AtEnd() const { return FPos >= FText.size(); }

  void SkipSpace(bool& any) {
    for (;;) {
      if (AtEnd()) return;
      const char c = Peek();
      if (c == '\n') {
        ++FLine;
        ++FPos;
      } else if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
        ++FPos;
      } else if (c == '/' && Peek(1) == '/') {
        while (!AtEnd() && Peek() != '\n') ++FPos;
      } else {
        return;
      }
      any = true;
    }
  }

  // digits [. digits] [e [+|-] digits] [s|c|d], or $hex.
  void Number(TToken& t) {
    const bool negative = Peek() == '-';
    if (negative) ++FPos;
    if (Peek() == '$') {
      ++FPos;
      uint64_t v = 0;
      size_t n = 0;
      while (std::isxdigit(uint8_t(Peek()))) {
        const char c = Peek();
        const uint64_t digit = IsDigit(c) ? uint64_t(c - '0') : uint64_t((c | 0x20) - 'a' + 10);
        if (v > (uint64_t(INT64_MAX) >> 4)) FailAt(t.Line, "Hexadecimal number out of range");
        v = (v << 4) | digit;
        ++FPos;
        ++n;
      }
      if (n == 0) FailAt(t.Line, "Hexadecimal digits expected after '$'");
      if (IsIdentChar(Peek())) FailAt(t.Line, "Invalid hexadecimal number");
      t.Kind = TTokenKind::tkInteger;
      t.Int = negative ? -int64_t(v) : int64_t(v);
      return;
    }
    std::string digits;
    while (IsDigit(Peek())) digits += FText[FPos++];
    bool isFloat = false;
    int64_t exp10 = 0;
    if (Peek() == '.' && IsDigit(Peek(1))) {
      isFloat = true;
      ++FPos;
      while (IsDigit(Peek())) {
        digits += FText[FPos++];
        --exp10;
      }
    }
    if ((Peek() == 'e' || Peek() == 'E') &&
        (IsDigit(Peek(1)) || ((Peek(1) == '+' || Peek(1) == '-') && IsDigit(Peek(2))))) {
      isFloat = true;
      ++FPos;
      const bool expNegative = Peek() == '-';
      if (Peek() == '+' || Peek() == '-') ++FPos;
      int64_t e = 0;
      while (IsDigit(Peek())) {
        if (e < 1000000000) e = e * 10 + (FText[FPos] - '0');
        ++FPos;
      }
      exp10 += expNegative ? -e : e;
    }
    const char s = char(Peek() | 0x20);
    if ((s == 's' || s == 'c' || s == 'd') && !IsIdentChar(Peek(1))) {
      isFloat = true;
      t.Suffix = s;
      ++FPos;
    }
    if (IsIdentChar(Peek()) || Peek() == '.') FailAt(t.Line, "Invalid number");
    if (!isFloat) {
      uint64_t v = 0;
      for (char c : digits) {
        const uint64_t d = uint64_t(c - '0');
        if (v > (uint64_t(INT64_MAX) + (negative ? 1 : 0) - d) / 10)
          FailAt(t.Line, "Integer " + std::string(negative ? "-" : "") + digits + " out of range");
        v = v * 10 + d;
      }
      t.Kind = TTokenKind::tkInteger;
      t.Int = negative ? int64_t(0 - v) : int64_t(v);
      return;
    }
    t.Kind = TTokenKind::tkFloat;
    t.Number.Negative = negative;
    t.Number.Digits = digits;
    t.Number.Exp10 = exp10;
    t.Number.Normalize();
    if (t.Number.Digits.size() > MaxNumberDigits)
      FailAt(t.Line, "Number with more than " + std::to_string(MaxNumberDigits) + " digits");
  }

  // Adjacent quoted runs and #n escapes form one string.
  void String(TToken& t) {
    t.Kind = TTokenKind::tkString;
    for (;;) {
      if (Peek() == '\'') {
        ++FPos;
        for (;;) {
          if (AtEnd() || Peek() == '\n' || Peek() == '\r') FailAt(t.Line, "Unterminated string");
          const char c = FText[FPos++];
          if (c == '\'') {
            if (Peek() != '\'') break;
            ++FPos;
          }
          t.Units.push_back(char16_t(uint8_t(c)));
        }
      } else if (Peek() == '#') {
        ++FPos;
        uint32_t v = 0;
        size_t n = 0;
        const bool hex = Peek() == '$';
        if (hex) ++FPos;
        while (hex ? std::isxdigit(uint8_t(Peek())) != 0 : IsDigit(Peek())) {
          const char c = FText[FPos++];
          v = v * (hex ? 16 : 10) +
              uint32_t(IsDigit(c) ? c - '0' : (c | 0x20) - 'a' + 10);
          if (v > 0xFFFF) FailAt(t.Line, "Character code after '#' above 65535");
          ++n;
        }
        if (n == 0) FailAt(t.Line, "Character code expected after '#'");
        if (v > 255) t.Wide = true;
        t.Units.push_back(char16_t(v));
      } else {
        return;
      }
    }
  }

  void Binary(TToken& t) {
    t.Kind = TTokenKind::tkBinary;
    ++FPos;  // '{'
    int high = -1;
    for (;;) {
      if (AtEnd()) FailAt(t.Line, "Binary data without its closing '}'");
      const char c = FText[FPos++];
      if (c == '}') break;
      if (c == '\n') {
        ++FLine;
        continue;
      }
      if (c == ' ' || c == '\t' || c == '\r') continue;
      if (!std::isxdigit(uint8_t(c)))
        FailAt(FLine, "Invalid character " + Shown(c) + " in binary data");
      const int nibble = IsDigit(c) ? c - '0' : (c | 0x20) - 'a' + 10;
      if (high < 0) {
        high = nibble;
      } else {
        t.Bytes.push_back(uint8_t(high << 4 | nibble));
        high = -1;
      }
    }
    if (high >= 0) FailAt(FLine, "Binary data with an odd number of hexadecimal digits");
  }

  void Next() {
    TToken t;
    bool space = false;
    SkipSpace(space);
    t.SpaceBefore = space;
    t.Line = FLine;
    if (AtEnd()) {
      FToken = std::move(t);
      return;
    }
    const char c = Peek();
    if (IsIdentStart(c)) {
      t.Kind = TTokenKind::tkIdent;
      const size_t start = FPos;
      while (IsIdentChar(Peek())) ++FPos;
      t.Text = std::string(FText.substr(start, FPos - start));
      if (t.Text.size() > 255) FailAt(t.Line, "Identifier longer than 255 characters");
    } else if (IsDigit(c) || c == '$' || (c == '-' && (IsDigit(Peek(1)) || Peek(1) == '$'))) {
      Number(t);
    } else if (c == '\'' || c == '#') {
      String(t);
    } else if (c == '{') {
      Binary(t);
    } else if (std::strchr("=:.()[]<>,+", c) != nullptr) {
      t.Kind = TTokenKind::tkSymbol;
      t.Text = std::string(1, c);
      ++FPos;
    } else {
      FailAt(t.Line, "Unexpected character " + Shown(c));
    }
    FToken = std::move(t);
  }

  bool IsSymbol(char c) const {
    return FToken.Kind == TTokenKind::tkSymbol && FToken.Text[0] == c;
  }
  bool IsKeyword(std::string_view word) const {
    return FToken.Kind == TTokenKind::tkIdent && SameText(FToken.Text, word);
  }

  void Expect(char c, const std::string& where) {
    if (!IsSymbol(c))
      Fail(std::string("Expected '") + c + "' " + where + ", found " + Describe(FToken));
    Next();
  }

  std::string ExpectIdent(const std::string& what) {
    if (FToken.Kind != TTokenKind::tkIdent)
      Fail("Expected " + what + ", found " + Describe(FToken));
    std::string s = FToken.Text;
    Next();
    return s;
  }

  std::string DottedIdent(const std::string& what) {
    std::string s = ExpectIdent(what);
    while (IsSymbol('.')) {
      Next();
      s += "." + ExpectIdent("an identifier after '.'");
      if (s.size() > 255) Fail("Name longer than 255 characters");
    }
    return s;
  }

  int64_t Integer(const std::string& what) {
    if (FToken.Kind != TTokenKind::tkInteger)
      Fail("Expected " + what + ", found " + Describe(FToken));
    const int64_t v = FToken.Int;
    Next();
    return v;
  }

  TFormValue Float(const TToken& t) {
    TFormValue v;
    if (t.Suffix == 'c') {
      // A whole number of 1/10000 units, as the platform writes it.
      v.Type = TValueType::vaCurrency;
      const TDecimal& d = t.Number;
      if (d.Exp10 < 0) FailAt(t.Line, "Currency value must be a whole number of 1/10000 units");
      if (int64_t(d.Digits.size()) + d.Exp10 > 19) FailAt(t.Line, "Currency value out of range");
      uint64_t u = 0;
      const uint64_t limit = uint64_t(INT64_MAX) + (d.Negative ? 1 : 0);
      std::string all = d.Digits + std::string(size_t(d.Exp10), '0');
      for (char c : all) {
        const uint64_t digit = uint64_t(c - '0');
        if (u > (limit - digit) / 10) FailAt(t.Line, "Currency value out of range");
        u = u * 10 + digit;
      }
      StoreLittle(v.Bytes, d.Negative ? 0 - u : u, 8);
      return v;
    }
    v.Type = t.Suffix == 's' ? TValueType::vaSingle
             : t.Suffix == 'd' ? TValueType::vaDate
                               : TValueType::vaExtended;
    const TFloatFormat& f = t.Suffix == 's' ? SingleFormat
                            : t.Suffix == 'd' ? DoubleFormat
                                              : ExtendedFormat;
    TBinaryFloat b;
    if (!DecimalToBinary(t.Number, f, b))
      FailAt(t.Line, std::string("Number out of the range of ") + ValueTypeName(v.Type));
    v.Bytes = EncodeFloat(v.Type, b);
    return v;
  }

  TFormValue StringValueOf(std::u16string units, bool wide) {
    if (wide) return WideStringValue(std::move(units));
    std::string s(units.size(), '\0');
    for (size_t i = 0; i < units.size(); ++i) s[i] = char(uint8_t(units[i]));
    return StringValue(std::move(s));
  }

  TFormValue Call(const std::string& name, int line, int depth) {
    if (depth >= MaxFormNesting)
      Fail("Lists and collections nested deeper than " + std::to_string(MaxFormNesting));
    Next();  // '('
    std::vector<TFormValue> args;
    if (!IsSymbol(')')) {
      for (;;) {
        args.push_back(Value(depth + 1));
        if (!IsSymbol(',')) break;
        Next();
      }
    }
    Expect(')', "after the arguments of " + name);
    if (FFunction == nullptr || !*FFunction) FailAt(line, "Unknown function '" + name + "'");
    try {
      return (*FFunction)(name, args);
    } catch (const EParserError&) {
      throw;
    } catch (const Exception& e) {
      FailAt(line, e.Message());
    }
  }

  TFormValue Value(int depth) {
    const TToken t = FToken;
    switch (t.Kind) {
      case TTokenKind::tkInteger:
        Next();
        return IntValue(t.Int);
      case TTokenKind::tkFloat:
        Next();
        return Float(t);
      case TTokenKind::tkString: {
        std::u16string units = t.Units;
        bool wide = t.Wide;
        Next();
        while (IsSymbol('+')) {
          Next();
          if (FToken.Kind != TTokenKind::tkString)
            Fail("Expected a string after '+', found " + Describe(FToken));
          units += FToken.Units;
          wide = wide || FToken.Wide;
          Next();
        }
        return StringValueOf(std::move(units), wide);
      }
      case TTokenKind::tkBinary:
        Next();
        return BinaryValue(t.Bytes);
      case TTokenKind::tkIdent: {
        Next();
        if (IsSymbol('(') && !FToken.SpaceBefore) return Call(t.Text, t.Line, depth);
        if (SameText(t.Text, "end")) FailAt(t.Line, "Expected a value, found 'end'");
        std::string name = t.Text;
        while (IsSymbol('.')) {
          Next();
          name += "." + ExpectIdent("an identifier after '.'");
          if (name.size() > 255) Fail("Identifier longer than 255 characters");
        }
        if (SameText(name, "True")) return BoolValue(true);
        if (SameText(name, "False")) return BoolValue(false);
        if (SameText(name, "nil")) return NilValue();
        if (SameText(name, "Null")) return TFormValue{};
        return IdentValue(std::move(name));
      }
      case TTokenKind::tkSymbol:
        break;
      case TTokenKind::tkEnd:
        Fail("Expected a value, found " + Describe(t));
    }
    if (IsSymbol('[')) {
      Next();
      TFormValue v = SetValue({});
      if (!IsSymbol(']')) {
        for (;;) {
          v.Set.push_back(ExpectIdent("a set element"));
          if (!IsSymbol(',')) break;
          Next();
        }
      }
      Expect(']', "at the end of a set");
      return v;
    }
    if (IsSymbol('(')) {
      if (depth >= MaxFormNesting)
        Fail("Lists and collections nested deeper than " + std::to_string(MaxFormNesting));
      Next();
      TFormValue v = ListValue({});
      while (!IsSymbol(')')) {
        if (FToken.Kind == TTokenKind::tkEnd) Fail("List without its closing ')'");
        const int line = FToken.Line;
        v.List.push_back(Value(depth + 1));
        if (v.List.back().Type == TValueType::vaNull) FailAt(line, "Null cannot be a list element");
      }
      Next();
      return v;
    }
    if (IsSymbol('<')) {
      if (depth >= MaxFormNesting)
        Fail("Lists and collections nested deeper than " + std::to_string(MaxFormNesting));
      Next();
      TFormValue v = CollectionValue({});
      while (!IsSymbol('>')) {
        if (!IsKeyword("item")) Fail("Expected 'item' or '>', found " + Describe(FToken));
        Next();
        TFormCollectionItem item;
        if (IsSymbol('[')) {
          Next();
          item.HasOrder = true;
          item.Order = Integer("the item's order");
          Expect(']', "after the item's order");
        }
        while (!IsKeyword("end")) item.Properties.push_back(Property(depth + 1));
        Next();
        v.Items.push_back(std::move(item));
      }
      Next();
      return v;
    }
    Fail("Expected a value, found " + Describe(t));
  }

  TFormProperty Property(int depth) {
    TFormProperty p;
    if (FToken.Kind != TTokenKind::tkIdent)
      Fail("Expected a property name, 'object' or 'end', found " + Describe(FToken));
    p.Name = DottedIdent("a property name");
    Expect('=', "after the property name '" + p.Name + "'");
    p.Value = Value(depth);
    return p;
  }

  TFormObject Object(int depth) {
    if (!(FToken.Kind == TTokenKind::tkIdent && IsObjectKeyword(FToken.Text)))
      Fail("Expected 'object', found " + Describe(FToken));
    if (depth >= MaxFormNesting) Fail("Objects nested deeper than " + std::to_string(MaxFormNesting));
    TFormObject o;
    if (SameText(FToken.Text, "inherited")) o.Flags |= ffInherited;
    if (SameText(FToken.Text, "inline")) o.Flags |= ffInline;
    Next();
    std::string first = ExpectIdent("an object name or a class name");
    if (IsSymbol(':')) {
      Next();
      o.Name = std::move(first);
      o.ClassName = ExpectIdent("a class name after ':'");
    } else {
      o.ClassName = std::move(first);
    }
    if (IsSymbol('[')) {
      Next();
      const int line = FToken.Line;
      const int64_t pos = Integer("the child position");
      if (pos < INT32_MIN || pos > INT32_MAX) FailAt(line, "Child position out of range");
      o.Flags |= ffChildPos;
      o.ChildPos = int32_t(pos);
      Expect(']', "after the child position");
    }
    for (;;) {
      if (IsKeyword("end")) {
        Next();
        return o;
      }
      if (FToken.Kind == TTokenKind::tkIdent && IsObjectKeyword(FToken.Text))
        o.Children.push_back(Object(depth + 1));
      else
        o.Properties.push_back(Property(0));
    }
  }

public:
  TTextFormParser(std::string_view text, const TFormFunction* function)
      : FText(text), FFunction(function) {
    if (FText.substr(0, 3) == "\xEF\xBB\xBF") FPos = 3;  // a UTF-8 byte order mark
    Next();
  }

  TFormObject Form() {
    TFormObject o = Object(0);
    if (FToken.Kind != TTokenKind::tkEnd)
      Fail("Expected the end of the text after the form's 'end', found " + Describe(FToken));
    return o;
  }
};

}  // namespace

std::string FormToText(const TFormObject& form) { return TTextFormWriter().Form(form); }

TFormObject ParseTextForm(std::string_view text) {
  return TTextFormParser(text, nullptr).Form();
}

TFormObject ParseTextForm(std::string_view text, const TFormFunction& function) {
  return TTextFormParser(text, &function).Form();
}
