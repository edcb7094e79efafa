#!/usr/bin/env python3
"""Writes the seed corpus of every fuzz target to fuzz/corpus/<target>/.

Texts are GBK, as the program sees them. The targets that split their input
with libFuzzer's FuzzedDataProvider take strings from the front, a backslash and
another byte ending each, and numbers from the back, last byte first.
"""
import pathlib
import struct

CORPUS = pathlib.Path(__file__).resolve().parent / "corpus"
ICON = pathlib.Path(__file__).resolve().parent.parent / "resources" / "pelnor.ico"


def Gbk(text):
    return text.encode("gbk")


def String(data):
    """A string field: backslashes doubled, ended by a backslash and a newline."""
    return data.replace(b"\\", b"\\\\") + b"\\\n"


def Back(*values):
    """Bytes read from the back: each value is (number, byte count), first read first."""
    out = b""
    for number, count in values:
        out = number.to_bytes(count, "big")[::-1] + out
    return out


def TextBetween(text, left, right, start=0, case_insensitive=False):
    if -2 <= start <= 64:
        start_bytes = Back((0, 1), (start + 2, 1))
    else:
        start_bytes = Back((1, 1), ((start + 2**31) % 2**32, 4))
    tail = Back((int(case_insensitive), 1))
    return String(left) + String(right) + text + start_bytes + tail


def Lookup(page, content_length=None, max_piece=4096, long_page_to=None):
    head = String(content_length) if content_length is not None else b""
    back = [(int(content_length is not None), 1), (max_piece - 1, 3)]
    if long_page_to is None:
        back.append((0, 2))
    else:
        back += [(0x5A5A, 2), (long_page_to - (1 << 20), 3)]
    return head + page + Back(*back)


def Icon(images):
    """An .ico file of (bytes) images, each entry naming its own size and offset."""
    head = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    for image in images:
        entries += struct.pack("<BBBBHHII", 16, 16, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    return head + entries + b"".join(images)


def Field(width, text):
    return text + Back((width - 1, 2))


def Settings(entries, ini):
    return bytes([entries]) + Gbk(ini)


ECHO_PAGE = Gbk("<html><body><center>您的IP是：[1.2.3.4] 来自：电信</center></body></html>")
TRAIL_BRACKETS = bytes([0x81, 0x5B]) + b"[" + bytes([0x81, 0x5D]) + b"10.0.0.1]"

SEEDS = {
    "text_to_int": {
        "ascii": b"123",
        "blanks_sign": b" \t\r\n-45x",
        "full_width": Gbk("２０１９"),
        "full_width_sign": Gbk("　－１２３"),
        "wraps": b"4294967297",
        "below_min": b"-2147483649",
        "trail_hides_digit": bytes([0xA3]) + b"5",
        "chinese_first": Gbk("宽5"),
    },
    "text_between": {
        "echo_page": TextBetween(ECHO_PAGE, b"[", b"]"),
        "quote_marker": TextBetween(Gbk('<a title="宽带连接">'), Gbk("#引号"), Gbk("#引号")),
        "case_insensitive": TextBetween(Gbk("<b>您的IP</B>"), b"<B>", b"</b>", 1, True),
        "start_inside": TextBetween(b"[a][b][c]", b"[", b"]", 4),
        "start_past_end": TextBetween(b"[a]", b"[", b"]", 9),
        "start_max": TextBetween(b"[a]", b"[", b"]", 2**31 - 1),
        "trail_brackets": TextBetween(TRAIL_BRACKETS, b"[", b"]"),
        "empty_delimiters": TextBetween(b"abc", b"", b""),
    },
    "address_lookup": {
        "echo_page": Lookup(ECHO_PAGE),
        "content_length": Lookup(ECHO_PAGE, str(len(ECHO_PAGE)).encode(), 7),
        "full_width_length": Lookup(ECHO_PAGE, Gbk("１０"), 3),
        "zero_byte": Lookup(b"<p>\0[1.2.3.4]</p>"),
        "router_page": Lookup(Gbk("<title>路由器</title>[192.168.1.1][2.2.2.2]")),
        "trail_brackets": Lookup(TRAIL_BRACKETS, b"-1"),
        "past_cap": Lookup(b"x" * 64, None, 65536, (1 << 20) + 100),
    },
    "ico_bytes": {
        "pelnor": ICON.read_bytes(),
        "truncated": ICON.read_bytes()[:300],
        "two_images": Icon([b"\x28" + b"\0" * 39, b"\x89PNG" + b"\0" * 12]),
        "offset_past_end": Icon([b"abcd"])[:-4],
        "header_only": ICON.read_bytes()[:22],
    },
    "copy_to_field": {
        "tip": Field(128, Gbk("当前状态：拔号完毕")),
        "split_at_end": Field(128, b"c" * 126 + Gbk("当前")),
        "balloon": Field(256, Gbk("新的IP：[") + b"1" * 250 + Gbk("]成功")),
        "one_byte": Field(1, Gbk("当")),
        "lone_lead": Field(8, b"ab" + bytes([0xB0])),
    },
    "load_settings": {
        "typical": Settings(3, "[宽带信息]\r\n连接索引=1\r\nADSL账号=user01\r\nADSL密码=密码123\r\n"),
        "none_selected": Settings(2, "[宽带信息]\n连接索引=-1\nADSL账号=a\nADSL密码=b\n"),
        "full_width": Settings(3, "[宽带信息]\n连接索引=２\nADSL账号=甲\nADSL密码=乙\n"),
        "beyond_list": Settings(3, "[宽带信息]\n连接索引=5\nADSL账号=a\nADSL密码=b\n"),
        "empty_password": Settings(3, "[宽带信息]\n连接索引=0\nADSL账号=user\nADSL密码=\n"),
        "case_and_blanks": Settings(1, "[other]\nx=1\n [宽带信息] \nadsl账号 = \"a b\" \nAdsl密码=p\n连接索引= 2x\n"),
        "empty_list": Settings(0, "[宽带信息]\n连接索引=1\nADSL账号=a\nADSL密码=b\n"),
    },
}

for target, seeds in SEEDS.items():
    folder = CORPUS / target
    folder.mkdir(parents=True, exist_ok=True)
    for name, data in seeds.items():
        (folder / name).write_bytes(data)
