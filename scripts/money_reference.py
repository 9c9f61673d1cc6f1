#!/usr/bin/env python3
"""Amount texts and what the program must make of them, computed with exact decimals.

Writes one line per input: the input text as hex of its UTF-8 bytes, a tab, the parsed value as
the integer count of ten-thousandths ("ERR" for no number, "RANGE" for too large), a tab, the
display text of that value; then, for a good value, another factor (ten-thousandths) and the
product and sum of the two the same way. The corpus depends on the seed only.

usage: money_reference.py SEED COUNT
"""
import random
import re
import sys
from decimal import Decimal, ROUND_HALF_EVEN, getcontext

getcontext().prec = 200
INT64_MAX = 2**63 - 1
SYNTAX = re.compile(r"^([+-]?)([0-9]*)(?:\.([0-9]*))?(?:[eE]([+-]?)([0-9]*))?$")


def parse(text):
    """The value in ten-thousandths, or 'ERR' / 'RANGE'."""
    t = text.strip(" \t\n\r\v\f")
    m = SYNTAX.match(t)
    if not m:
        return "ERR"
    sign, whole, frac, esign, edigits = m.groups()
    frac = frac or ""
    if not whole and not frac:
        return "ERR"
    if edigits is not None or esign:
        if not edigits or len(edigits) > 6:
            return "ERR"
    # The exponent marker without digits is caught above; "1e" never matches with digits None
    if t and t[-1] in "eE":
        return "ERR"
    exponent = int(esign + edigits) if edigits else 0
    digits = (whole + frac).lstrip("0")
    if not digits:
        return 0
    value = Decimal(int(whole + frac)).scaleb(exponent - len(frac) + 4)
    if value.adjusted() > 30:
        return "RANGE"
    scaled = int(value.to_integral_value(rounding=ROUND_HALF_EVEN))
    if sign == "-":
        scaled = -scaled
    if scaled > INT64_MAX or scaled < -INT64_MAX - 1:
        return "RANGE"
    return scaled


def exact_text(scaled):
    negative = scaled < 0
    magnitude = -scaled if negative else scaled
    whole, frac = divmod(magnitude, 10000)
    frac_text = ("%04d" % frac).rstrip("0")
    text = ("-" if negative else "") + str(whole)
    return text + ("." + frac_text if frac_text else "")


def general(value):
    """At most 15 significant digits, no trailing zeros, exponent form when very large or small."""
    if value == 0:
        return "0"
    sci = "%.14e" % value
    negative = sci.startswith("-")
    body = sci[1:] if negative else sci
    mantissa, exp = body.split("e")
    exponent = int(exp)
    digits = (mantissa[0] + mantissa[2:]).rstrip("0") or "0"
    if exponent >= 15 or exponent < -5:
        out = digits[0] + ("." + digits[1:] if len(digits) > 1 else "") + "E" + str(exponent)
    elif exponent < 0:
        out = "0." + "0" * (-exponent - 1) + digits
    elif exponent + 1 >= len(digits):
        out = digits + "0" * (exponent + 1 - len(digits))
    else:
        out = digits[: exponent + 1] + "." + digits[exponent + 1 :]
    return ("-" if negative else "") + out


def display(scaled):
    exact = exact_text(scaled)
    if sum(c.isdigit() for c in exact) <= 15:
        return exact
    return general(float(scaled) / 10000)


def product(a, b):
    value = (Decimal(a) * Decimal(b) / 10000).to_integral_value(rounding=ROUND_HALF_EVEN)
    return int(value) if -INT64_MAX - 1 <= value <= INT64_MAX else "RANGE"


def total(a, b):
    value = a + b
    return value if -INT64_MAX - 1 <= value <= INT64_MAX else "RANGE"


def result(value):
    return value if isinstance(value, str) else str(value)


def shown(value):
    return "-" if isinstance(value, str) else display(value)


def amount_text(rng):
    kind = rng.random()
    if kind < 0.05:
        return rng.choice(["", " ", ".", "-", "+", "e5", "1e", "1e+", "--1", "1..2", "0x10", "1,5", "NaN",
                           "inf", "１２", "1e1234567", "1e000001", "٣", "12元", "1 000", "1_000"])
    if kind < 0.12:
        alphabet = "0123456789.-+eE ,_x"
        return "".join(rng.choice(alphabet) for _ in range(rng.randint(1, 12)))
    sign = rng.choice(["", "", "", "-", "+"])
    whole = "".join(rng.choice("0123456789") for _ in range(rng.randint(0, 16)))
    text = sign + whole
    if rng.random() < 0.6 or not whole:
        text += "." + "".join(rng.choice("0123456789") for _ in range(rng.randint(0 if whole else 1, 9)))
    if rng.random() < 0.1:
        text += rng.choice("eE") + rng.choice(["", "+", "-"]) + str(rng.randint(0, 25))
    if rng.random() < 0.05:
        text = " " * rng.randint(1, 2) + text + "\t" * rng.randint(0, 1)
    return text


def main():
    seed, count = int(sys.argv[1]), int(sys.argv[2])
    rng = random.Random(seed)
    out = sys.stdout
    previous = 1
    for _ in range(count):
        text = amount_text(rng)
        value = parse(text)
        line = [text.encode("utf-8").hex(), result(value), shown(value)]
        if not isinstance(value, str):
            p, s = product(previous, value), total(previous, value)
            line += [str(previous), result(p), shown(p), result(s), shown(s)]
            # Products of big amounts overflow at once: keep the next factor small now and then.
            previous = value if abs(value) < 10**12 or rng.random() < 0.3 else 10000
        out.write("\t".join(line) + "\n")


if __name__ == "__main__":
    main()
