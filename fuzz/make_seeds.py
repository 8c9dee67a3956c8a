#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz harnesses (fuzz/corpus/<harness>/).

Each seed is a small, well-understood case the fuzzer mutates from: correct
frames and messages, the ways they break, and the text a module sends outside
frames. Run it again after changing a seed; the files are kept in the
repository so a run needs nothing but the harness.
"""
import os
import random

STX, ETX, ACK, NAK = 0x02, 0x03, 0x06, 0x15
CMD, SIG = 0xD6, 0xD4


def frame(data, bcc=None, end=ETX):
    data = bytes(data)
    check = STX ^ len(data)
    for b in data:
        check ^= b
    return bytes([STX, len(data)]) + data + bytes([check if bcc is None else bcc, end])


def message_frames(command, data, repeat_segment=None):
    """A module command message: type, segment number, the command low byte
    first and the data length in the two bytes the host does not read."""
    header = bytes([command & 0xFF, command >> 8, len(data) & 0xFF, (len(data) >> 8) & 0xFF])
    body = header + bytes(data)
    frames, segment, first = [], 0, True
    while first or body:
        room = 253
        chunk, body = body[:room], body[room:]
        number = 0xFF if not body else segment
        frames.append(frame(bytes([CMD, number]) + chunk))
        if number == repeat_segment:
            frames.append(frames[-1])
        segment += 1
        first = False
    return frames


def signal_trace(data, segment=0xFF):
    header = bytes([1, 0, 2, 0, 0x45, 0x23, 1, 0, 0, 1, 0, 0, len(data), 0, 0, 0, 0xCD, 0xAB, 0, 0])
    return frame(bytes([SIG, segment]) + header + bytes(data))


def write(harness, name, data):
    directory = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus", harness)
    os.makedirs(directory, exist_ok=True)
    with open(os.path.join(directory, name), "wb") as f:
        f.write(bytes(data))


def link_seeds():
    plain = b"\x00"
    exit_text = b"EXIT 0000000100000002000000030000000A\r\n"
    seeds = {
        "frame_abc": frame(b"abc"),
        "frame_len0": frame(b""),
        "frame_special_bytes": frame(bytes([STX, ETX, ACK, NAK])),
        "frame_bad_bcc": frame(b"abc", bcc=0x00),
        "frame_bad_end": frame(b"abc", end=0x04),
        "message_10": b"".join(message_frames(0x0102, range(10))),
        "message_300": b"".join(message_frames(0x0304, bytes(i % 251 for i in range(300)))),
        "message_repeated_segment": b"".join(message_frames(0x0506, bytes(600), repeat_segment=1)),
        "message_over_1500": b"".join(message_frames(0x0708, bytes(i % 253 for i in range(1600)))),
        "message_empty": b"".join(message_frames(0x0909, b"")),
        "message_short_frames": frame([CMD]) + frame([CMD, 0xFF]) + frame([CMD, 0xFF, 0x01]),
        "signal_trace": signal_trace(b"\x11\x22\x33\x44"),
        "signal_trace_between_segments": (lambda f: f[0] + signal_trace(b"\x55") + b"".join(f[1:]))(
            message_frames(0x0A0B, bytes(400))),
        "foreign_type": frame([0x42, 0xFF, 1, 2, 3]),
        # Segment 1 never comes: the message is given up; a one-frame message
        # follows after a frame of another type.
        "message_after_given_up": frame([CMD, 0x00, 0x01, 0x01, 0, 0, 0xAA]) + frame([CMD, 0x02, 0xBB])
        + frame([0x42, 0xFF]) + frame([CMD, 0xFF, 0x34, 0x12, 0, 0, ord("h"), ord("i")]),
        "stray_text_then_frame": b"\r\nOK\r\n" + bytes([ACK, NAK]) + exit_text + frame(b"abc"),
        "len_beyond_input": bytes([STX, 0xFF]) + bytes(20),
    }
    for name, data in seeds.items():
        write("link_receive", name, plain + data)
    rng = random.Random(3)
    write("link_receive", "garbage_300", plain + bytes(rng.randrange(256) for _ in range(300)))
    # Closed while the first half of a message is on its way.
    write("link_receive", "close_mid_message", b"\xC1" + message_frames(0x0C0D, bytes(300))[0])


def raw_seeds():
    read = lambda n: (n << 2) | 0  # ReadRawRxBuffer of 1 + 5 n bytes
    check_ok = 1                   # CheckResponse against "\r\nOK\r\n"
    response = lambda n: (n << 2) | 2  # GetResponse of 1 + n bytes, rest to the skip buffer
    exit_data = lambda n: (n << 2) | 3  # WGetExitData into 4 n bytes
    raw, framed, close = 0x01, 0x00, 0xC1
    marker = b"EXIT 0000000100000002000000030000000A"
    seeds = {
        "ok_answer": ([raw, check_ok, exit_data(12), read(2)], b"\r\nOK\r\n"),
        "exit_record": ([raw, read(10), exit_data(12), exit_data(3)], marker),
        "four_exit_markers": ([raw, read(40), exit_data(16), exit_data(63)], (marker + b" ") * 4),
        "exit_at_end": ([raw, exit_data(12), read(1), exit_data(12)], b"noise EXIT 00000"),
        "partial_answer": ([raw, check_ok, exit_data(4), read(0)], b"\r\nO"),
        "fill_bytes_in_answer": ([raw, response(15), exit_data(4), read(3)], b"\x15\xa5\xa5abc\xa5"),
        "echo_frame_answer": ([framed, response(15), check_ok, exit_data(8)],
                              b"at\r" + frame(b"abc") + b"\r\nOK\r\n"),
        "stray_300": ([raw, read(63), read(63), exit_data(12)], bytes((i * 7) & 0xFF for i in range(300))),
        "close_after_reads": ([close, read(5), check_ok, exit_data(12)], marker + b"\r\nOK"),
    }
    for name, (header, payload) in seeds.items():
        write("raw_exchange", name, bytes(header) + payload)


def le16(value):
    return bytes([value & 0xFF, (value >> 8) & 0xFF])


def rpc_seeds():
    version, judge, wait = 0x00, 0x01, 0x02
    text = b"ZEPHIN_B2_071a:firmware&Bln-Bootloader V01.03&RPC 0001.0000"
    version_confirm = le16(7) + le16(0) + bytes([3, 2, 0, 0, 0, 0, 1, 0]) + text + b"\0"

    def queued(how, area, expected, reference, messages):
        body = bytes([how]) + le16(area) + bytes([expected]) + le16(reference)
        for command, data in messages:
            body += bytes([command]) + le16(len(data)) + bytes(data)
        return bytes([wait]) + body

    seeds = {
        "version_text": bytes([version]) + text,
        "version_no_separator": bytes([version]) + b"MARLO_X_077a:one item only",
        "version_long_digits": bytes([version]) + b"TIRVAN_1_" + b"9" * 40 + b"postfix:x&Bln-Bootloader " + b"V" * 40,
        "version_1023": bytes([version]) + b"ZEPHIN_B2_" + b"7" * 1013,
        "judge_version": bytes([judge, 205]) + version_confirm,
        "judge_mode": bytes([judge, 1]) + le16(5) + le16(0) + b"\x02",
        "judge_at_text": bytes([judge, 0]) + le16(9) + b"\r\nOK\r\n" + bytes(121),
        "judge_short": bytes([judge, 3]) + b"\x01",
        "wait_lower_then_match": queued(0, 5, 100, 0x0102, [(100, le16(0x0101) + bytes(3)),
                                                             (100, le16(0x0102) + bytes([0, 0, 1]))]),
        "wait_foreign_id_then_match": queued(0, 2, 10, 7, [(50, b"unrelated"), (10, le16(7))]),
        "wait_five_foreign": queued(1, 3, 108, 9, [(108, le16(i) + b"\0") for i in range(1, 6)]),
        "wait_no_reference": queued(2, 4, 102, 0, [(102, le16(77) + le16(0))]),
        "wait_long_message": queued(4, 2000, 2, 3, [(2, le16(3) + bytes(1500))]),
        "wait_repeats": queued(1, 130, 94, 4, [(94, le16(4) + b"x"), (94, le16(4) + b"x"), (94, le16(4) + b"y")]),
        "wait_empty": queued(0, 5, 100, 0, []),
    }
    for name, data in seeds.items():
        write("rpc_confirm", name, data)


def signal_seeds():
    """Suffix byte, then frames as a length byte and the bytes after the type."""
    def signal(segment, data, length=None):
        header = bytes([1, 0, 2, 0, 7, 0, 0, 0, 9, 0, 0, 0])
        size = len(data) if length is None else length
        header += bytes([size & 0xFF, size >> 8, 0, 0, 0x03, 0x02, 0x01, 0x00])
        return bytes([segment]) + header + bytes(data)

    def frames(*bodies):
        return b"".join(bytes([len(b)]) + b for b in bodies)

    seeds = {
        "one_frame": b"\x07" + frames(signal(0xFF, b"\x11\x22\x33")),
        "three_frames": b"\x00" + frames(signal(0, bytes(200), 600), bytes([1]) + bytes(253),
                                         bytes([0xFF]) + bytes(147)),
        "short_first": b"\x01" + frames(bytes([0xFF]) + bytes(10)),
        "bare_continuation": b"\xF0" + frames(signal(0, b"ab"), bytes([0xFF])),
        "length_mismatch": b"\x7F" + frames(signal(0xFF, b"abc", 0xFFFF)),
    }
    for name, data in seeds.items():
        write("signal_trace", name, data)


if __name__ == "__main__":
    link_seeds()
    raw_seeds()
    rpc_seeds()
    signal_seeds()
