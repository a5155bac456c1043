#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets (fuzz/corpus/<target>/<seed>).

The inputs are read from the front by fuzz_input.h: bytes, little-endian integers, byte runs.
Run it again after changing a target's input format; the files it writes are kept in the
repository.
"""
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))


def u8(value):
    return bytes([value & 0xFF])


def u16(value):
    return struct.pack('<H', value & 0xFFFF)


def i32(value):
    return struct.pack('<i', value)


def write(target, name, data):
    folder = os.path.join(HERE, 'corpus', target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), 'wb') as out:
        out.write(data)


# ---- level_loaded_fuzzer -------------------------------------------------------------
ROWS = 17
COMMANDS, NOTICE, NAME, NEAR_MISS, NO_NAME, UNLOAD, CURSOR = 0, 1, 3, 4, 5, 6, 7
# Log modes (flags bits 0-1) and the allocation of the table answered null (bits 2-3).
LOG_OFF, LOG_WRITE_AND_ECHO, LOG_ECHO_MISSING_FOLDER, LOG_WRITE_ONLY = 0, 1, 2, 3


def count_absent():
    return u8(0)


def count_min():
    return u8(1)


def count_max():
    return u8(2)


def count_minus_one():
    return u8(3)


def count_zero():
    return u8(4)


def count_small(n):  # 1..9
    return u8(5) + u8(n - 1)


def count_any(value):
    return u8(7) + i32(value)


def commands(counts, log=LOG_WRITE_AND_ECHO, null_at=0):
    counts = list(counts) + [count_absent()] * (ROWS - len(counts))
    return u8(COMMANDS) + u8(log | (null_at << 2)) + b''.join(counts)


def notice(row):
    return u8(NOTICE) + u8(row)


def name(text):
    return u8(NAME) + u16(len(text)) + text


def near_miss(row, how, at, extra=0x41):
    return u8(NEAR_MISS) + u8(row) + u8(how) + u8(at) + u8(extra)


def null_name():
    return u8(NO_NAME) + u8(1)


def no_game_data():
    return u8(NO_NAME) + u8(0)


def unload():
    return u8(UNLOAD)


def cursor(position, count, row=0, pick=0):
    return u8(CURSOR) + i32(position) + i32(count) + u8(row) + u8(pick)


L = 'level_loaded_fuzzer'
write(L, 'whole_life', commands([count_small(3)]) + notice(0) * 4 + unload())
write(L, 'every_row_rotates', commands([count_small(1 + row % 9) for row in range(ROWS)]) +
      b''.join(notice(row) for row in range(ROWS)) * 2)
write(L, 'extreme_counts', commands([count_min(), count_max(), count_minus_one(), count_zero(), count_small(1),
                                     count_small(2), count_small(9), count_any(10), count_any(-2147483647),
                                     count_any(2147483646)]) +
      b''.join(notice(row) for row in range(10)) * 3)
write(L, 'count_shrinks_below_cursor', commands([count_small(9)]) + notice(0) * 5 +
      commands([count_small(2)]) + notice(0) * 2)
write(L, 'cursor_past_versions_on_disk', commands([count_any(12)]) + notice(0) * 12)
write(L, 'names_that_are_no_map', commands([count_small(3)]) + name(b'') + name(b'C&C_Complex') +
      name(b'c&c_complex.mix') + name(b'C&C_Complex.mix\x00trailing') + name(b'\xff\xfe\x80' * 50) +
      name(b'A' * 599) + null_name() + no_game_data() + notice(0))
write(L, 'near_misses', commands([count_small(2)] * ROWS) +
      b''.join(near_miss(row, how, at) for row in (0, 1, 10, 11, 12, 13) for how in range(4) for at in (0, 3, 40)))
write(L, 'cursor_arithmetic', cursor(2147483646, 2147483647) + cursor(2147483647, 2147483647, 3, 1) +
      cursor(-2147483648, -2147483648, 16) + cursor(0, -1) + cursor(5, 2, 13, 1) + cursor(-5, 3, 4))
write(L, 'no_memory_for_settings', commands([count_small(3)], null_at=1) + notice(0) +
      commands([count_small(3)], null_at=2) + notice(0) + commands([count_small(3)], null_at=3) + notice(0) +
      commands([count_small(3)]) + notice(0))
write(L, 'log_modes', commands([count_small(2)], log=LOG_OFF) + commands([count_small(3)], log=LOG_WRITE_ONLY) +
      commands([count_small(4)], log=LOG_ECHO_MISSING_FOLDER) + commands([count_minus_one()]) + notice(0))
write(L, 'out_of_order', notice(0) + unload() + unload() + commands([count_small(3)]) + unload() + notice(0) +
      commands([count_small(3)]) + notice(0))

# ---- host_string_fuzzer --------------------------------------------------------------
ASSIGN, SELF_PART, ASSIGN_C_STRING, CLEAR = 0, 1, 2, 3
NEAR_BOUNDARY = [0, 1, 2, 14, 15, 16, 17, 18, 30, 31, 32, 33, 63, 64, 65]


def length_choice(length):
    if length in NEAR_BOUNDARY:
        return u8(NEAR_BOUNDARY.index(length))
    if length < 48:
        return u8(128 + (length - 128 % 48) % 48)  # a choice byte in 128..223 with choice % 48 == length
    return u8(224) + u16(length)


def assign(length, fill=b'x', null=False):
    return u8(ASSIGN | (0x80 if null else 0)) + length_choice(length) + (fill * length)[:length]


def assign_c_string(length, fill=b'y'):
    return u8(ASSIGN_C_STRING) + length_choice(length) + (fill * length)[:length]


def self_part(offset, count):
    return u8(SELF_PART) + u16(offset) + u16(count)


def clear():
    return u8(CLEAR)


H = 'host_string_fuzzer'
write(H, 'across_the_boundary', b''.join(assign(n) for n in (0, 15, 16, 15, 14, 17, 31, 32, 33)) + clear())
write(H, 'heap_then_shorter', assign(64) + assign(1) + assign(16) + assign(63) + assign(65))
write(H, 'in_place_then_longer', assign(15) + assign(16) + clear() + assign(14) + assign(1000))
write(H, 'host_has_no_block', assign(15) + assign(16, null=True) + assign(32) + assign(64, null=True) +
      assign(33, null=True))
write(H, 'parts_of_itself', assign(40, b'abcdefghij') + self_part(3, 20) + self_part(0, 20) + self_part(19, 1) +
      assign(15, b'0123456789') + self_part(5, 10))
write(H, 'zero_bytes_inside', assign(17, b'ab\x00') + assign_c_string(30, b'cd\x00e') + assign_c_string(16))
write(H, 'long_texts', assign(4999) + assign(2048) + assign(4097) + clear())

# ---- format_string_fuzzer ------------------------------------------------------------
NEAR_LIMITS = [0, 1, 15, 16, 2030, 2040, 2045, 2046, 2047, 2048, 2049, 2050, 2060, 4094, 4095, 4096, 4097, 8192]
# The formats in the target's order: "%s", "%s%s", "./data/%s", "./%s", "TEMP%s", the notice, "%s_%s.txt",
# the log line, "%s%i%s", "data\\%s", "%s%s%s%s", the log date.
FORMATS = ['text', 'two_texts', 'staged_copy_path', 'settings_path', 'staged_name', 'notice', 'log_file_name',
           'log_line', 'source_path', 'data_path', 'four_texts', 'log_date']


def text(length, fill=b't'):
    if length in NEAR_LIMITS:
        head = u8(NEAR_LIMITS.index(length))
    else:
        head = u8(200) + u16(length)
    return head + (fill * length)[:length]


F = 'format_string_fuzzer'
for which, label in enumerate(FORMATS):
    write(F, label + '_at_the_limit',
          u8(which) + text(2047, b'a') + text(1, b'b') + i32(9) + i32(7) + i32(3))
    write(F, label + '_past_the_limit',
          u8(which) + text(2048, b'c') + text(4097, b'd') + i32(-2147483648) + i32(2147483647) + i32(-1))
write(F, 'short_texts', u8(7) + text(8, b'_GENERAL') + text(12, b'message ') + i32(23) + i32(59) + i32(59))
write(F, 'log_date_extremes', u8(11) + text(0) + text(0) + i32(-2147483648) + i32(-2147483648) + i32(-2147483648))

# ---- settings_reader_fuzzer ----------------------------------------------------------
S = 'settings_reader_fuzzer'
write(S, 'plain', b'[General]\nComplex=3\nM01=2\n')
write(S, 'crlf', b'[General]\r\nComplex=3\r\nWalls=1\r\n')
write(S, 'lone_cr', b'[General]\rComplex=3\rM02=4')
write(S, 'byte_order_mark', b'\xef\xbb\xbf[General]\nComplex=3\n\xef\xbb\xbfM01=1\n')
write(S, 'no_line_end_at_the_end', b'[General]\nComplex=3')
write(S, 'duplicates', b'[General]\nComplex=3\ncomplex=4\n[general]\nComplex=5\n[General]\nM01=1\nM01=2\n')
write(S, 'comments_and_blanks', b'; comment\n# another\n\n   \t\n[ General ]\n  Complex  =  3  \n;M01=2\n')
write(S, 'odd_lines', b'=value\nkey=\n[]\n[\n]\n[[x]]\nno equals here\nk==v\n=\n[a]b]\n x = y = z \n')
write(S, 'entries_before_any_header', b'Complex=3\nM01=2\n[General]\nWalls=1\n')
write(S, 'integers', b'[General]\na=2147483647\nb=-2147483648\nc=2147483648\nd=-2147483649\ne=+7\nf=-\ng=007\n'
                     b'h=1e3\ni=0x10\nj= 12 \nk=12a\nl=00000000000000000001\n')
write(S, 'binary', bytes(range(256)) + b'\n[General]\nComplex=\x00\xff3\n')
write(S, 'huge_line', b'[General]\nComplex=' + b'9' * 8000 + b'\n' + b'k' * 9000 + b'=v\n')
write(S, 'mixed_line_ends', b'[General]\r\n\rComplex=3\n\r\nM01=2\r\r\n')
print('seed corpora written under', os.path.join(HERE, 'corpus'), file=sys.stderr)
