#!/usr/bin/env python3
"""The capture files of the golden decoder suite, built from tables.

Each capture holds one datagram per case. Case i is stamped BASE_TIME + i
seconds, so the stamp of a log entry says which case it came from:
  captures.py --describe NAME     lists the cases of one capture
  captures.py --write DIR [NAME]  writes NAME.pcap (or all) into DIR
  captures.py --list              the capture names
The cases walk every flag bit alone (and all clear, all set), every entry of
every type table with the first value past it and the ranges that share a
name, every masked field at its top bit, signed fields with the sign bit
set, the lengths at which a decoder's text changes, and every header cut
short. Frames on Ethernet are padded to the link's 60-byte minimum with
non-zero bytes, so the datagram's own length must bound it. The link-*
captures hold whole frames of each link type that orn-decode reads: where
the datagram begins and ends behind every header, and what is passed over.
"""

import struct
import sys

BASE_TIME = 1796508985  # Sat, 05 Dec 2026 22:16:25 UTC

LINK_ETHERNET = 1
LINK_RAW = 101
LINK_LINUX_SLL = 113
LINK_IPV4 = 228

A = "192.0.2.10"
B = "198.51.100.20"
C = "203.0.113.7"


def u16(v):
    return struct.pack("!H", v & 0xFFFF)


def u32(v):
    return struct.pack("!I", v & 0xFFFFFFFF)


def addr(text):
    return bytes(int(x) for x in text.split("."))


def fill(n, start=0x11):
    """n distinct non-zero bytes, so a field read from the wrong place shows."""
    return bytes((start + 7 * i) % 251 + 1 for i in range(n))


def checksum(data):
    if len(data) % 2:
        data += b"\0"
    s = sum(struct.unpack("!%dH" % (len(data) // 2), data))
    while s >> 16:
        s = (s & 0xFFFF) + (s >> 16)
    return ~s & 0xFFFF


def ipv4(protocol, payload=b"", src=A, dst=B, tos=0, ident=0x1C46, frag=0x4000, ttl=64,
         options=b"", first=None, total=None, csum=None):
    """An IPv4 datagram; the fields not given are those of ordinary traffic."""
    if first is None:
        first = 0x40 | (5 + len(options) // 4)
    if total is None:
        total = 20 + len(options) + len(payload)
    header = (bytes([first, tos]) + u16(total) + u16(ident) + u16(frag) + bytes([ttl, protocol]) +
              u16(0) + addr(src) + addr(dst) + options)
    if csum is None:
        csum = checksum(header)
    return header[:10] + u16(csum) + header[12:] + payload


def cut(datagram, length):
    """The datagram cut to `length` bytes, its total length saying so."""
    d = bytearray(datagram[:length])
    if length >= 4:
        d[2:4] = u16(length)
    return bytes(d)


def bits8():
    """Every bit of a byte alone, then all clear and all set."""
    return [1 << b for b in range(7, -1, -1)] + [0x00, 0xFF]


def bits16():
    return [1 << b for b in range(15, -1, -1)] + [0x0000, 0xFFFF]


# Each capture: (link type, [(description, datagram), ...]).

def ip_cases():
    # On the raw IPv4 link nothing is checked, so any version reaches the decoder.
    pim = b"\x20\x00\x12\x34"
    cases = [("ordinary datagram", ipv4(103, pim))]
    for v in (0, 1, 6, 15):
        cases.append(("version %d" % v, ipv4(103, pim, first=v << 4 | 5)))
    for ihl in (0, 1, 4):
        cases.append(("header length field %d: the decoder starts at byte %d" % (ihl, 4 * ihl),
                      ipv4(103, pim, first=0x40 | ihl)))
    opts = bytes([0x94, 0x04, 0, 0])  # router alert
    cases.append(("header length field 6 (one option word), TCP behind it",
                  ipv4(6, u16(1025) + u16(80) + fill(16), options=opts)))
    cases.append(("header length field 15 (40 option bytes)",
                  ipv4(103, pim, options=bytes([1] * 40))))
    for tos in bits8() + [0xB8]:
        cases.append(("type of service 0x%02X" % tos, ipv4(103, pim, tos=tos)))
    for total in (0, 5, 19, 10000, 65535):
        cases.append(("total length field %d" % total, ipv4(103, pim, total=total)))
    for ident in (0, 0x8000, 0xABCD, 0xFFFF):
        cases.append(("identification 0x%04X" % ident, ipv4(103, pim, ident=ident)))
    for frag in bits16() + [0x1FFF, 0xE000]:
        cases.append(("flags and fragment offset 0x%04X" % frag, ipv4(103, pim, frag=frag)))
    for ttl in (0, 1, 255):
        cases.append(("time to live %d" % ttl, ipv4(103, pim, ttl=ttl)))
    for csum in (0, 0xABCD, 0xFFFF):
        cases.append(("header checksum 0x%04X" % csum, ipv4(103, pim, csum=csum)))
    for src, dst in (("0.0.0.0", "255.255.255.255"), ("1.2.3.4", "123.123.123.123"),
                     ("10.0.0.1", "100.10.1.0")):
        cases.append(("addresses %s to %s" % (src, dst), ipv4(103, pim, src=src, dst=dst)))
    whole = ipv4(6, u16(0x1234) + u16(0xABCD) + fill(16), tos=0x5A, ident=0x7E7E, frag=0x3FFF,
                 ttl=0x99, src="11.22.33.44", dst="55.66.77.88")
    for length in (1, 2, 4, 8, 9, 10, 12, 16, 19, 20, 21, 23):
        cases.append(("TCP datagram cut to %d bytes" % length, cut(whole, length)))
    return LINK_IPV4, cases


def protocols_cases():
    # Every protocol number with the same transport bytes: the table's
    # decoders and headings, and where each message begins.
    payload = fill(24)
    return LINK_ETHERNET, [("protocol %d" % p, ipv4(p, payload)) for p in range(256)]


def tcp_header(sport=1025, dport=80, seq=1, ack=0, offset=0x50, flags=0x18, window=501,
               csum=0x6B3C, urgent=7):
    return (u16(sport) + u16(dport) + u32(seq) + u32(ack) + bytes([offset, flags]) + u16(window) +
            u16(csum) + u16(urgent))


def tcp_cases():
    cases = [("ACK and PSH with data", ipv4(6, tcp_header() + b"GET "))]
    for sport, dport in ((0, 65535), (7, 12345), (80, 443), (1025, 1), (65535, 0)):
        cases.append(("ports %d to %d" % (sport, dport), ipv4(6, tcp_header(sport, dport))))
    for flags in bits8() + [0x3F]:
        cases.append(("control bits 0x%02X" % flags, ipv4(6, tcp_header(flags=flags))))
    cases.append(("data offset 8: 12 option bytes stay message",
                  ipv4(6, tcp_header(offset=0x80) + bytes([2, 4, 5, 0xB4, 1, 3, 3, 7, 4, 2, 1, 1]) + b"data")))
    cases.append(("data offset 0", ipv4(6, tcp_header(offset=0x00))))
    for seq, ack in ((0x7FFFFFFF, 0x80000000), (0x80000000, 0x7FFFFFFF), (0xFFFFFFFF, 0x80000001),
                     (0x80000001, 0xFFFFFFFF), (0, 0)):
        cases.append(("sequence 0x%08X, acknowledgement 0x%08X" % (seq, ack),
                      ipv4(6, tcp_header(seq=seq, ack=ack))))
    for v in (0x8000, 0xFFFF):
        cases.append(("window, checksum and urgent pointer 0x%04X" % v,
                      ipv4(6, tcp_header(window=v, csum=v, urgent=v))))
    cases.append(("window 1, checksum 2, urgent pointer 3", ipv4(6, tcp_header(window=1, csum=2, urgent=3))))
    full = tcp_header(0xAAAA, 0xBBBB, 0xCCCCCCCC, 0xDDDDDDDD, 0x5F, 0x3F, 0xEEEE, 0x9999, 0x7777)
    for n in (0, 1, 2, 3, 4, 12, 13, 14, 19, 20):
        cases.append(("header cut to %d bytes" % n, ipv4(6, full[:n])))
    cases.append(("IP header length 24: ports read behind the option",
                  ipv4(6, tcp_header(25, 110), options=bytes([1, 1, 1, 0]))))
    return LINK_ETHERNET, cases


def udp_header(sport=53, dport=54321, length=12, csum=0x8FAC):
    return u16(sport) + u16(dport) + u16(length) + u16(csum)


def udp_cases():
    cases = [("DNS answer", ipv4(17, udp_header() + b"\x12\x34\x81\x80"))]
    for sport, dport in ((0, 65535), (7, 12345), (80, 443), (1025, 1), (65535, 0)):
        cases.append(("ports %d to %d" % (sport, dport), ipv4(17, udp_header(sport, dport, 8))))
    for length in (0, 8, 12345, 65535):
        cases.append(("length field %d" % length, ipv4(17, udp_header(length=length))))
    for csum in (0, 0xABCD, 0xFFFF):
        cases.append(("checksum 0x%04X" % csum, ipv4(17, udp_header(length=8, csum=csum))))
    full = udp_header(0xAAAA, 0xBBBB, 0xCCCC, 0xDDDD)
    for n in (0, 1, 2, 3, 4, 5, 6, 7, 8):
        cases.append(("header cut to %d bytes" % n, ipv4(17, full[:n])))
    # On the cooked link layer: a Linux "any" capture.
    return LINK_LINUX_SLL, cases


def icmp_cases():
    # The table runs to 40; from 41 on every type is reserved.
    cases = [("type %d" % t, ipv4(1, bytes([t, 0]) + u16(0x4D5A) + u16(1) + u16(42)))
             for t in list(range(43)) + [127, 128, 255]]
    for csum in (0x8000, 0xFFFF):
        cases.append(("echo request, checksum 0x%04X" % csum, ipv4(1, bytes([8, 0]) + u16(csum) + u32(0))))
    for n in (0, 1, 3):
        cases.append(("echo request cut to %d bytes" % n, ipv4(1, bytes([8, 0xFF, 0xFF, 0xFF])[:n])))
    return LINK_RAW, cases


def icmpv6_cases():
    cases = [("type %d" % t, ipv4(58, bytes([t, 0]) + u16(0xA10F) + u32(0)))
             for t in list(range(6)) + list(range(126, 143)) + [200, 255]]
    for csum in (0, 0x8000, 0xFFFF):
        cases.append(("echo request, checksum 0x%04X" % csum, ipv4(58, bytes([128, 0]) + u16(csum))))
    for n in (0, 1, 3):
        cases.append(("echo request cut to %d bytes" % n, ipv4(58, bytes([128, 0xFF, 0xFF, 0xFF])[:n])))
    return LINK_ETHERNET, cases


def igmp_group(type_, code, identifier=b"\0\0\0\x01", group="224.1.1.1", key=b"\xef\xbe\xad\xde\x0a\x00"):
    """The group-management form: exactly 18 bytes of message."""
    return bytes([type_, code]) + u16(0x1234) + identifier + addr(group) + key


def igmp_cases():
    cases = []
    # The version comes from the low 4 bits, the version 2 type from the whole byte.
    for t in list(range(0x20)) + [0x21, 0x22, 0x26, 0x27, 0x91, 0x96, 0xF1, 0xF2, 0xFF]:
        cases.append(("membership form, type byte 0x%02X" % t,
                      ipv4(2, bytes([t, 0x64]) + u16(0xEE9B) + addr("224.0.0.251"))))
    for resp in (0, 255):
        cases.append(("membership report v2, maximum response time %d" % resp,
                      ipv4(2, bytes([0x16, resp]) + u16(0) + addr("239.255.255.255"))))
    # The same 20 bytes cut at every length where the text could change:
    # only exactly 18 is the group-management form.
    body = igmp_group(2, 1) + b"\x0b\x0c"
    for n in (0, 1, 3, 4, 7, 8, 12, 17, 18, 19, 20):
        cases.append(("group reply with %d bytes of message" % n, ipv4(2, body[:n])))
    cases.append(("group form behind a 24-byte IP header",
                  ipv4(2, igmp_group(4, 0), options=bytes([1, 1, 1, 0]))))
    for t in list(range(10)) + [255]:
        for code in (0, 1, 2, 3, 4, 5, 6, 255):
            cases.append(("group form, type %d code %d" % (t, code), ipv4(2, igmp_group(t, code))))
    for ident in (b"\x01\0\0\0", b"\0\0\0\x80", b"\xff\xff\xff\xff", b"\xfe\xff\xff\x7f"):
        cases.append(("group form, identifier bytes %s" % ident.hex(" "),
                      ipv4(2, igmp_group(3, 0, identifier=ident))))
    for key in (bytes(6), b"\x0a\0\0\0\x01\0", b"\xff" * 6, b"\x00\x00\x00\x10\x00\x00"):
        cases.append(("group form, access key bytes %s" % key.hex(" "), ipv4(2, igmp_group(5, 0, key=key))))
    return LINK_ETHERNET, cases


def gre_header(flags=0x00, version=0, ptype=0x880B, w4=0x0040, w6=0x1234, d8=0x80000000, d12=5):
    return bytes([flags, version]) + u16(ptype) + u16(w4) + u16(w6) + u32(d8) + u32(d12)


def gre_cases():
    cases = []
    for version in (0, 1):
        for flags in bits8() + [0xB0]:
            cases.append(("version %d, flags 0x%02X" % (version, flags),
                          ipv4(47, gre_header(flags, version) + b"\x45\x00")))
    for version in (2, 7, 8, 0x10, 0x80, 0x81, 0xFF):
        cases.append(("version byte 0x%02X" % version, ipv4(47, gre_header(0x20, version))))
    for version in (0, 1):
        for d8, d12 in ((0xFFFFFFFF, 0x80000000), (0x7FFFFFFF, 0xFFFFFFFE), (0, 0x80000001)):
            cases.append(("version %d, words 0x%08X and 0x%08X" % (version, d8, d12),
                          ipv4(47, gre_header(0x30, version, d8=d8, d12=d12))))
        cases.append(("version %d, 16-bit fields all set" % version,
                      ipv4(47, gre_header(0, version, 0xFFFF, 0xFFFF, 0xFFFF))))
        cases.append(("version %d, 16-bit fields at their top bit" % version,
                      ipv4(47, gre_header(0, version, 0x8000, 0x8000, 0x8000))))
    full = gre_header(0xF8, 1, 0xAAAA, 0xBBBB, 0xCCCC, 0xDDDDDDDD, 0xEEEEEEEE)
    for n in (0, 1, 2, 4, 8, 12, 15, 16):
        cases.append(("version 1 header cut to %d bytes" % n, ipv4(47, full[:n])))
    return LINK_ETHERNET, cases


def inner_header(first=0x45, tos=0xB8, total=1500, ident=0xABCD, frag=0x4010, ttl=63, proto=17,
                 src="10.1.2.3", dst="172.16.0.99"):
    return (bytes([first, tos]) + u16(total) + u16(ident) + u16(frag) + bytes([ttl, proto]) + u16(0) +
            addr(src) + addr(dst))


def inner_cases(protocol):
    """The carried IPv4 header of IP-in-IP, IFMP and MEP."""
    cases = [("ordinary inner header", ipv4(protocol, inner_header() + b"\xaa\xbb"))]
    for first in (0x00, 0x0F, 0xF0, 0xFF, 0x46):
        cases.append(("inner byte 0 0x%02X" % first, ipv4(protocol, inner_header(first=first))))
    for tos in bits8() + [0x60, 0xA0, 0xC0, 0xE0, 0xB8, 0x1E]:
        cases.append(("inner type of service 0x%02X" % tos, ipv4(protocol, inner_header(tos=tos))))
    for frag in bits16() + [0x1FFF]:
        cases.append(("inner flags and fragment offset 0x%04X" % frag, ipv4(protocol, inner_header(frag=frag))))
    cases.append(("inner 16-bit fields at their top bit", ipv4(protocol, inner_header(total=0x8000, ident=0x8000))))
    cases.append(("inner fields all set", ipv4(protocol, inner_header(total=0xFFFF, ident=0xFFFF, ttl=255,
                                                                      proto=255, src="255.255.255.255",
                                                                      dst="255.255.255.255"))))
    cases.append(("inner addresses 0.0.0.0 and 123.123.123.123",
                  ipv4(protocol, inner_header(src="0.0.0.0", dst="123.123.123.123"))))
    full = inner_header(0xF5, 0xFE, 0xAAAA, 0xBBBB, 0xFFFF, 0xCC, 0xDD, "1.2.3.4", "5.6.7.8")
    for n in (0, 1, 2, 8, 12, 15, 16, 19, 20):
        cases.append(("inner header cut to %d bytes" % n, ipv4(protocol, full[:n])))
    return cases


def ipinip_cases():
    return LINK_ETHERNET, inner_cases(4)


def ifmp_mep_cases():
    # One decoder under two headings: each case for both.
    cases = []
    for (desc, ifmp), (_, mep) in zip(inner_cases(101), inner_cases(55)):
        cases += [("IFMP, " + desc, ifmp), ("MEP, " + desc, mep)]
    return LINK_ETHERNET, cases


def ah_ippcp_cases():
    cases = []

    def ah(next_, length, spi, seq):
        return bytes([next_, length]) + u16(0xFFFF) + u32(spi) + u32(seq) + b"\xde\xad"

    for next_, length, spi, seq in ((6, 4, 0x100, 1), (255, 255, 0xFFFFFFFF, 0x80000000),
                                    (0, 0, 0x80000000, 0x7FFFFFFF), (17, 1, 0x7FFFFFFF, 0xFFFFFFFE)):
        cases.append(("AH, next header %d, length %d, SPI 0x%08X, sequence 0x%08X" % (next_, length, spi, seq),
                      ipv4(51, ah(next_, length, spi, seq))))
    full = ah(0xAA, 0xBB, 0xCCCCCCCC, 0xDDDDDDDD)
    for n in (0, 1, 2, 4, 8, 11, 12):
        cases.append(("AH cut to %d bytes" % n, ipv4(51, full[:n])))
    for next_, flags, cpi in ((17, 0x80, 0x1234), (255, 0xFF, 0xFFFF), (0, 0x01, 0x8000), (4, 0, 0)):
        cases.append(("IPPCP, next header %d, flags 0x%02X, index 0x%04X" % (next_, flags, cpi),
                      ipv4(108, bytes([next_, flags]) + u16(cpi) + b"\x99")))
    for n in (0, 1, 2, 3, 4):
        cases.append(("IPPCP cut to %d bytes" % n, ipv4(108, (b"\xaa\xbb" + u16(0xCCDD))[:n])))
    return LINK_ETHERNET, cases


def sctp_cases():
    def sctp(sport, dport, tag, csum):
        return u16(sport) + u16(dport) + u32(tag) + u32(csum) + b"\x01\x00\x00\x10"

    cases = [("init", ipv4(132, sctp(2905, 2906, 0, 0xFFFFFFFF)))]
    for sport, dport in ((0, 65535), (65535, 0), (7, 12345)):
        cases.append(("ports %d to %d" % (sport, dport), ipv4(132, sctp(sport, dport, 1, 2))))
    for tag, csum in ((0x80000000, 0x7FFFFFFF), (0x7FFFFFFF, 0x80000000), (0xFFFFFFFE, 1)):
        cases.append(("tag 0x%08X, checksum 0x%08X" % (tag, csum), ipv4(132, sctp(1, 2, tag, csum))))
    full = sctp(0xAAAA, 0xBBBB, 0xCCCCCCCC, 0xDDDDDDDD)
    for n in (0, 1, 2, 3, 4, 8, 11, 12):
        cases.append(("header cut to %d bytes" % n, ipv4(132, full[:n])))
    return LINK_ETHERNET, cases


def ospf_header(version=2, type_=1, length=44, router="192.168.0.1", area=0, csum=0xF694, tail=b"\x01\x02"):
    return bytes([version, type_]) + u16(length) + addr(router) + u32(area) + u16(csum) + tail


def ospf_cases():
    cases = []
    for version in (0, 1, 2, 3, 4, 255):
        cases.append(("version %d hello" % version, ipv4(89, ospf_header(version) + b"\xee")))
    for type_ in (0, 2, 3, 4, 5, 6, 255):
        cases.append(("version 2, type %d" % type_, ipv4(89, ospf_header(2, type_))))
    cases.append(("version 3, type 4", ipv4(89, ospf_header(3, 4))))
    for router, area in (("255.255.255.255", 0x80000000), ("127.255.255.255", 0x7FFFFFFF), ("0.0.0.1", 0xFFFFFFFF)):
        cases.append(("router ID %s, area 0x%08X" % (router, area), ipv4(89, ospf_header(router=router, area=area))))
    for version in (2, 3):
        cases.append(("version %d, 16-bit fields all set" % version,
                      ipv4(89, ospf_header(version, 1, 0xFFFF, csum=0xFFFF, tail=b"\xff\xff"))))
        cases.append(("version %d, 16-bit fields at their top bit" % version,
                      ipv4(89, ospf_header(version, 1, 0x8000, csum=0x8000, tail=b"\x80\x00"))))
    full = ospf_header(3, 3, 0xAAAA, "187.187.187.187", 0xCCCCCCCC, 0xDDDD, b"\xee\xff")
    for n in (0, 1, 2, 4, 12, 13, 14, 15, 16):
        cases.append(("version 3 header cut to %d bytes" % n, ipv4(89, full[:n])))
    return LINK_ETHERNET, cases


def rsvp_cases():
    cases = [("message type %d" % t, ipv4(46, bytes([0x10, t]) + u16(15000) + bytes([63, 7]) + u16(128)))
             for t in list(range(22)) + [64, 65, 66, 67, 68, 69, 128, 255]]
    for first in (0x01, 0x0F, 0x80, 0xF0, 0xFF):
        cases.append(("byte 0 0x%02X" % first, ipv4(46, bytes([first, 1]) + u16(1) + bytes([2, 3]) + u16(4))))
    cases.append(("16-bit fields all set", ipv4(46, bytes([0x10, 2]) + u16(0xFFFF) + bytes([255, 254]) + u16(0xFFFF))))
    cases.append(("16-bit fields at their top bit", ipv4(46, bytes([0x10, 2]) + u16(0x8000) + bytes([1, 0]) + u16(0x8000))))
    full = bytes([0x1F, 3]) + u16(0xAAAA) + bytes([0xBB, 0xCC]) + u16(0xDDDD)
    for n in (0, 1, 2, 3, 4, 5, 6, 7, 8):
        cases.append(("header cut to %d bytes" % n, ipv4(46, full[:n])))
    return LINK_ETHERNET, cases


def sdrp_header(flags=0x5C, hops=3, sproto=6, pproto=17, notification=4):
    # The unread halves of each 32-bit slot hold 0xEE, 0xEF and 0xF0.
    return (bytes([flags, hops, sproto, pproto]) + u16(0x0102) + b"\xee\xee" + u16(0x0304) + b"\xef\xef" +
            u16(0x0506) + b"\xf0\xf0" + bytes([24, notification, 8, 1]))


def sdrp_cases():
    cases = []
    for flags in bits8():
        cases.append(("flags byte 0x%02X" % flags, ipv4(42, sdrp_header(flags=flags))))
    for code in list(range(10)) + [128, 255]:
        cases.append(("notification code %d" % code, ipv4(42, sdrp_header(notification=code))))
    cases.append(("fields all set",
                  ipv4(42, bytes([0xFF] * 4) + u16(0xFFFF) + b"\0\0" + u16(0xFFFF) + b"\0\0" + u16(0xFFFF) +
                       b"\0\0" + bytes([255, 8, 255, 255]))))
    cases.append(("16-bit fields at their top bit",
                  ipv4(42, bytes([0x20, 0x80, 0x80, 0x80]) + u16(0x8000) + b"\0\0" + u16(0x8000) + b"\0\0" +
                       u16(0x8000) + b"\0\0" + bytes([128, 1, 128, 128]))))
    full = sdrp_header(0xFC, 0xAA, 0xBB, 0xCC, 3)
    for n in (0, 1, 4, 5, 12, 16, 17, 18, 19, 20):
        cases.append(("header cut to %d bytes" % n, ipv4(42, full[:n])))
    return LINK_ETHERNET, cases


def vrrp_cases():
    cases = []
    for first in (0x21, 0x00, 0x01, 0x0F, 0x10, 0xF0, 0xFF):
        cases.append(("byte 0 0x%02X" % first,
                      ipv4(112, bytes([first, 51, 100, 1, 0, 1]) + u16(0xBA52) + addr("192.168.1.1"))))
    cases.append(("fields all set", ipv4(112, bytes([0x21, 255, 255, 255, 255, 255]) + u16(0xFFFF))))
    cases.append(("checksum at its top bit", ipv4(112, bytes([0x31, 1, 2, 3, 4, 5]) + u16(0x8000))))
    full = bytes([0x3A, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF]) + u16(0xABCD)
    for n in (0, 1, 2, 5, 6, 7, 8):
        cases.append(("header cut to %d bytes" % n, ipv4(112, full[:n])))
    return LINK_ETHERNET, cases


def cbt_cases():
    cases = []
    for first in [0x10 | n for n in range(16)] + [0x00, 0xF0, 0x0F]:
        cases.append(("byte 0 0x%02X" % first, ipv4(7, bytes([first, 4]) + u16(0x0100) + b"\x0a\x00\x00\x01")))
    cases.append(("fields all set", ipv4(7, bytes([0x12, 255]) + u16(0xFFFF))))
    cases.append(("checksum at its top bit", ipv4(7, bytes([0x12, 128]) + u16(0x8000))))
    for n in (0, 1, 2, 3, 4):
        cases.append(("header cut to %d bytes" % n, ipv4(7, (b"\x15\xbb" + u16(0xCCDD))[:n])))
    return LINK_ETHERNET, cases


def ggp_cases():
    cases = [("type %d" % t, ipv4(3, bytes([t, 0xAA]) + u16(257))) for t in list(range(15)) + [128, 255]]
    for seq in (0x8000, 0xFFFF):
        cases.append(("sequence number 0x%04X" % seq, ipv4(3, bytes([8, 0]) + u16(seq))))
    for n in (0, 1, 2, 3, 4):
        cases.append(("echo request cut to %d bytes" % n, ipv4(3, (b"\x08\xbb" + u16(0xCCDD))[:n])))
    return LINK_ETHERNET, cases


def narp_header(version=1, hops=2, csum=0x7F03, code=9, src="10.0.0.1", dst="10.0.0.2", length=40):
    return bytes([version, hops]) + u16(csum) + bytes([code, 0xEE, 0xEF]) + addr(src) + addr(dst) + bytes([length])


def narp_cases():
    cases = [("request", ipv4(54, narp_header() + b"\xaa"))]
    for csum in (0x00FF, 0xFF00, 0x8000, 0xFFFF):
        cases.append(("checksum 0x%04X (its low byte is the type)" % csum, ipv4(54, narp_header(csum=csum))))
    cases.append(("fields all set", ipv4(54, narp_header(255, 255, 0xFFFF, 255, "255.255.255.255",
                                                         "255.255.255.255", 255))))
    cases.append(("addresses 0.0.0.0 and 123.123.123.123", ipv4(54, narp_header(src="0.0.0.0", dst="123.123.123.123"))))
    full = narp_header(0xAA, 0xBB, 0xCCDD, 0xEE, "1.2.3.4", "5.6.7.8", 0x99)
    for n in (0, 1, 3, 4, 5, 7, 10, 11, 14, 15, 16):
        cases.append(("header cut to %d bytes" % n, ipv4(54, full[:n])))
    return LINK_ETHERNET, cases


def tcp_seg(src, sport, dst, dport):
    return ipv4(6, tcp_header(sport, dport), src=src, dst=dst)


def filters_cases():
    # Matched against the stored filter sets of golden.py's FILTER_SETS.
    return LINK_ETHERNET, [
        ("TCP A:1025 to B:80", tcp_seg(A, 1025, B, 80)),
        ("TCP A:80 to B:1025", tcp_seg(A, 80, B, 1025)),
        ("TCP A:25 to B:80", tcp_seg(A, 25, B, 80)),
        ("TCP C:1025 to B:80", tcp_seg(C, 1025, B, 80)),
        ("TCP C:1025 to B:81", tcp_seg(C, 1025, B, 81)),
        ("UDP A:53 to B:53", ipv4(17, udp_header(53, 53, 8), src=A, dst=B)),
        ("SCTP A:2905 to B:2906", ipv4(132, u16(2905) + u16(2906) + u32(1) + u32(2), src=A, dst=B)),
        ("IGMP report from A (first words 0x1600, 0xFA04)",
         ipv4(2, bytes([0x16, 0]) + u16(0xFA04) + addr("224.0.0.251"), src=A, dst="224.0.0.251")),
        ("ICMP echo A to B (port bytes 0x0800, 0x0050)", ipv4(1, bytes([8, 0, 0, 0x50]) + u32(1), src=A, dst=B)),
        ("GRE A to B (port bytes 0x0000, 0x0800)", ipv4(47, gre_header(0, 0, 0x0800), src=A, dst=B)),
        ("UDP B:53 to A:1025", ipv4(17, udp_header(53, 1025, 8), src=B, dst=A)),
        ("TCP C:80 to A:1025", tcp_seg(C, 80, A, 1025)),
        ("UDP C:1025 to B:80", ipv4(17, udp_header(1025, 80, 8), src=C, dst=B)),
    ]


# The link layers: captures named link-* hold whole frames, each of which
# gives one datagram or is passed over; a case may also give the frame's
# length on the wire when it was captured cut short.

def ether(type_):
    return bytes.fromhex("020000000002 020000000001") + u16(type_)


def tag(next_):
    """A VLAN tag: its control word, then the next EtherType."""
    return b"\x00\x64" + u16(next_)


def label(n, bottom):
    """An MPLS label stack entry: label 16 + n, TTL 64."""
    return bytes([0x00, 0x01, n << 4 | bottom, 0x40])


def udp_datagram(payload):
    return ipv4(17, udp_header(5353, 53, 8 + len(payload), 0) + payload)


DA, DB, DC, DD, DE = (udp_datagram(p) for p in (b"a", b"bb", b"ccc", b"dddd", b"eeeee"))
IPV6 = bytes.fromhex("6000000000003b40") + b"\xfe" * 32
PPPOE = bytes.fromhex("110012340000")
SNAP = bytes.fromhex("aaaa03 000000")  # LLC for SNAP, organisation 0: an EtherType follows


def link_ethernet_cases():
    whole = udp_datagram(b"p" * 72)
    return LINK_ETHERNET, [
        ("IPv4", ether(0x0800) + DA),
        ("ARP: passed over", ether(0x0806) + b"\x01" * 28),
        ("IPv6: passed over", ether(0x86DD) + IPV6),
        ("802.1Q tag", ether(0x8100) + tag(0x0800) + DB),
        ("802.1ad and 802.1Q tags", ether(0x88A8) + tag(0x8100) + tag(0x0800) + DC),
        ("three tags", ether(0x9100) + tag(0x88A8) + tag(0x8100) + tag(0x0800) + DD),
        ("a tag, then IPv6: passed over", ether(0x8100) + tag(0x86DD) + IPV6),
        ("PPPoE session carrying IPv4", ether(0x8864) + PPPOE + u16(0x0021) + DE),
        ("PPPoE session carrying LCP: passed over", ether(0x8864) + PPPOE + bytes.fromhex("c0210101")),
        ("MPLS, two labels", ether(0x8847) + label(0, 0) + label(1, 1) + DA),
        ("multicast MPLS", ether(0x8848) + label(2, 1) + DB),
        ("a tag, then MPLS", ether(0x8100) + tag(0x8847) + label(3, 1) + DC),
        ("MPLS carrying IPv6: passed over", ether(0x8847) + label(4, 1) + IPV6),
        ("MPLS carrying a pseudowire: passed over", ether(0x8847) + label(5, 1) + bytes(4) + ether(0x0800) + DD),
        ("MPLS cut inside its stack: passed over", ether(0x8847) + label(6, 0) + label(7, 0)),
        ("captured cut short: what was captured", ether(0x0800) + whole[:46], 14 + len(whole)),
        ("shorter than the Ethernet header: passed over", b"\x02" * 10),
        ("the Ethernet header alone: passed over", ether(0x0800)),
        ("cut inside a tag: passed over", ether(0x8100) + b"\x00"),
        ("a tag, then nothing: passed over", ether(0x8100) + tag(0x0800)),
        ("two bytes of an IPv4 header", ether(0x0800) + b"\x45\x00"),
        ("PPPoE session carrying MPLS", ether(0x8864) + PPPOE + u16(0x0281) + label(8, 1) + DA),
        ("a pre-standard 0x9200 tag", ether(0x9200) + tag(0x0800) + DB),
        ("802.3 length, LLC with SNAP", ether(len(SNAP) + 2 + len(DC)) + SNAP + u16(0x0800) + DC),
        ("802.3 length, LLC to IPv4's service access point", ether(3 + len(DD)) + bytes.fromhex("060603") + DD),
        ("802.3 length, LLC to another service access point: passed over",
         ether(3 + len(DA)) + bytes.fromhex("424203") + DA),
        ("802.3 length, SNAP of another organisation: passed over",
         ether(8 + len(DE)) + bytes.fromhex("aaaa03 00000c") + u16(0x0800) + DE),
    ]


def tlv(type_, value, length=None, order="<"):
    """An NFLOG TLV (a netlink attribute): length and type in the byte order
    of the host that wrote the file, as its pcap header is."""
    head = struct.pack(order + "HH", 4 + len(value) if length is None else length, type_)
    return head + value + bytes(-len(value) % 4)


def nflog_header(family=2, version=0, resource=5):
    """The address family, the version, then the resource id (big-endian)."""
    return bytes([family, version]) + u16(resource)


def nflog(payload, family=2, extra=b"", order="<"):
    """As the kernel logs IPv4: packet header (hardware protocol, hook),
    prefix, input interface and time stamp, then the payload; `extra`
    behind it."""
    return (nflog_header(family) + tlv(1, bytes([8, 0, 1, 0]), order=order) + tlv(10, b"orn\0", order=order) +
            tlv(4, bytes([0, 0, 0, 3]), order=order) + tlv(3, bytes(16), order=order) +
            tlv(9, payload, order=order) + extra)


def link_nflog_cases():
    unbounded = bytearray(DB)
    unbounded[2:4] = b"\xff\xff"  # its total length claims more than it holds
    return 239, [
        ("IPv4", nflog(DA)),
        ("IPv6 family: passed over", nflog(IPV6, 10)),
        ("IPv6 behind an IPv4 family: passed over", nflog(IPV6)),
        ("the payload bounds the datagram, not its total length",
         nflog(bytes(unbounded), extra=tlv(11, bytes([0, 0, 3, 0xE8])))),
        ("a TLV length that cannot be: passed over", nflog_header() + tlv(9, DC, 2)),
        ("a TLV running past the frame: passed over", nflog_header() + tlv(10, b"x", 200) + tlv(9, DD)),
        ("a payload cut by the capture: what was captured", nflog_header() + tlv(10, b"x") + tlv(9, DE, 44)),
        ("no payload: passed over", nflog_header() + tlv(10, b"x")),
        ("shorter than its header: passed over", nflog_header()[:3]),
        ("resource id 0x0200", nflog_header(resource=0x0200) + tlv(9, DA)),
        ("a version other than 0: passed over", nflog_header(version=1) + tlv(9, DB)),
        ("the payload type with the netlink byte-order flag", nflog_header() + tlv(0x4009, DC)),
    ]


def link_nflog_big_endian_cases():
    # Written on a big-endian host: the pcap headers and the TLVs in its byte
    # order, which libpcap turns round on reading.
    return 239, [
        ("IPv4", nflog(DA, order=">")),
        ("IPv6 family: passed over", nflog(IPV6, 10, order=">")),
        ("after a TLV of odd length", nflog_header() + tlv(10, b"abcde", order=">") + tlv(9, DB, order=">")),
    ], ">"


def link_cooked_cases():
    sll = bytes.fromhex("0004 0001 0006 020000000001 0000")
    return LINK_LINUX_SLL, [
        ("IPv4", sll + u16(0x0800) + DA),
        ("IPv6: passed over", sll + u16(0x86DD) + IPV6),
        ("a VLAN tag", sll + u16(0x8100) + tag(0x0800) + DB),
        ("the header alone: passed over", sll + u16(0x0800)),
        ("MPLS", sll + u16(0x8847) + label(0, 1) + DC),
        ("multicast MPLS", sll + u16(0x8848) + label(1, 0) + label(2, 1) + DD),
        ("802.1ad and 802.1Q tags", sll + u16(0x88A8) + tag(0x8100) + tag(0x0800) + DE),
        ("a pre-standard QinQ tag", sll + u16(0x9100) + tag(0x0800) + DA),
        ("PPPoE session carrying IPv4", sll + u16(0x8864) + PPPOE + u16(0x0021) + DB),
        ("802.2 LLC with SNAP", sll + u16(0x0004) + SNAP + u16(0x0800) + DC),
    ]


def link_cooked2_cases():
    sll2 = bytes.fromhex("0000 00000003 0001 04 06 020000000001 0000")
    return 276, [
        ("IPv4", u16(0x0800) + sll2 + DC),
        ("IPv6: passed over", u16(0x86DD) + sll2 + IPV6),
        ("ARP: passed over", u16(0x0806) + sll2 + bytes(28)),
        ("MPLS", u16(0x8847) + sll2 + label(0, 1) + DD),
        ("a VLAN tag", u16(0x8100) + sll2 + tag(0x0800) + DE),
    ]


def link_raw_cases():
    lying = bytearray(cut(DA, 28))
    lying[3] = 8  # a total length too small to be true is not trusted
    return LINK_RAW, [
        ("IPv4", DA),
        ("IPv6: passed over", IPV6),
        ("a total length too small to be true", bytes(lying)),
        ("bytes behind the total length", DB + b"\xee" * 4),
    ]


def link_loopback_cases():
    # The address family in the byte order of whichever host wrote it.
    return 0, [
        ("AF_INET little-endian", bytes([2, 0, 0, 0]) + DC),
        ("AF_INET big-endian", bytes([0, 0, 0, 2]) + DD),
        ("AF_INET6 of one system: passed over", bytes([30, 0, 0, 0]) + IPV6),
        ("AF_INET6 of another: passed over", bytes([0, 0, 0, 24]) + IPV6),
    ]


def link_loop_cases():
    return 108, [
        ("AF_INET big-endian", bytes([0, 0, 0, 2]) + DE),
        ("AF_INET little-endian", bytes([2, 0, 0, 0]) + DA),
        ("AF_INET6: passed over", bytes([0, 0, 0, 28]) + IPV6),
    ]


def link_ppp_cases():
    return 9, [
        ("HDLC-like framing", bytes.fromhex("ff030021") + DA),
        ("no framing", bytes.fromhex("0021") + DB),
        ("protocol field compressed to one byte", b"\x21" + DC),
        ("IPv6: passed over", bytes.fromhex("ff030057") + IPV6),
        ("LCP: passed over", bytes.fromhex("ff03c021010100 04")),
        ("MPLS, two labels", bytes.fromhex("ff030281") + label(0, 0) + label(1, 1) + DC),
        ("multicast MPLS, no framing", bytes.fromhex("0283") + label(2, 1) + DD),
        ("MPLS carrying IPv6: passed over", bytes.fromhex("ff030281") + label(3, 1) + IPV6),
        ("MPLS cut inside its stack: passed over", bytes.fromhex("ff030281") + label(4, 0)),
    ]


def link_cisco_hdlc_cases():
    return 104, [
        ("unicast", bytes.fromhex("0f000800") + DD),
        ("broadcast", bytes.fromhex("8f000800") + DE),
        ("IPv6: passed over", bytes.fromhex("0f0086dd") + IPV6),
        ("keepalive: passed over", bytes.fromhex("8f008035")),
        ("MPLS", bytes.fromhex("0f008847") + label(0, 1) + DA),
        ("multicast MPLS, two labels", bytes.fromhex("8f008848") + label(1, 0) + label(2, 1) + DB),
    ]


def link_ppp_serial_cases():
    # PPP in HDLC-like framing, or Cisco HDLC on the same kind of line.
    return 50, [
        ("PPP", bytes.fromhex("ff030021") + DA),
        ("Cisco HDLC", bytes.fromhex("0f000800") + DB),
        ("PPP carrying MPLS", bytes.fromhex("ff030281") + label(0, 1) + DC),
        ("Cisco HDLC carrying MPLS", bytes.fromhex("0f008847") + label(1, 1) + DD),
    ]


def link_ppp_ether_cases():
    # PPPoE without its Ethernet header, as some BSD systems capture it.
    def session(ppp, padding=b""):
        return bytes.fromhex("11001234") + u16(len(ppp)) + ppp + padding

    return 51, [
        ("session carrying IPv4", session(u16(0x0021) + DA)),
        ("session carrying MPLS", session(u16(0x0281) + label(0, 1) + DB)),
        ("session carrying IPv6: passed over", session(u16(0x0057) + IPV6)),
        ("session carrying LCP: passed over", session(bytes.fromhex("c021010100 04"))),
        ("discovery (PADT): passed over", bytes.fromhex("11a712340000")),
        ("another PPPoE version: passed over", bytes.fromhex("21001234") + u16(2 + len(DC)) + u16(0x0021) + DC),
        ("cut inside the PPPoE header: passed over", bytes.fromhex("11001234")),
        ("session carrying IPv4, padded", session(u16(0x0021) + DD, b"\xa5" * 6)),
    ]


CAPTURES = {
    "ip": ip_cases,
    "protocols": protocols_cases,
    "tcp": tcp_cases,
    "udp": udp_cases,
    "icmp": icmp_cases,
    "icmpv6": icmpv6_cases,
    "igmp": igmp_cases,
    "gre": gre_cases,
    "ipinip": ipinip_cases,
    "ifmp-mep": ifmp_mep_cases,
    "ah-ippcp": ah_ippcp_cases,
    "sctp": sctp_cases,
    "ospf": ospf_cases,
    "rsvp": rsvp_cases,
    "sdrp": sdrp_cases,
    "vrrp": vrrp_cases,
    "cbt": cbt_cases,
    "ggp": ggp_cases,
    "narp": narp_cases,
    "filters": filters_cases,
    "link-ethernet": link_ethernet_cases,
    "link-nflog": link_nflog_cases,
    "link-nflog-big-endian": link_nflog_big_endian_cases,
    "link-cooked": link_cooked_cases,
    "link-cooked2": link_cooked2_cases,
    "link-raw": link_raw_cases,
    "link-loopback": link_loopback_cases,
    "link-loop": link_loop_cases,
    "link-ppp": link_ppp_cases,
    "link-cisco-hdlc": link_cisco_hdlc_cases,
    "link-ppp-serial": link_ppp_serial_cases,
    "link-ppp-ether": link_ppp_ether_cases,
}


def frame(link, datagram):
    if link == LINK_ETHERNET:
        f = bytes.fromhex("020000000002 020000000001 0800") + datagram
        return f + b"\xa5" * max(0, 60 - len(f))
    if link == LINK_LINUX_SLL:
        return bytes.fromhex("0000 0001 0006 020000000001 0000 0800") + datagram
    return datagram


def pcap(name):
    """The capture in the byte order of the host that wrote it (little-endian
    unless the capture names another)."""
    link, cases, *order = CAPTURES[name]()
    order = order[0] if order else "<"
    out = [struct.pack(order + "IHHiIII", 0xA1B2C3D4, 2, 4, 0, 0, 262144, link)]
    for i, (_, datagram, *wire) in enumerate(cases):
        f = datagram if name.startswith("link-") else frame(link, datagram)
        out.append(struct.pack(order + "IIII", BASE_TIME + i, 0, len(f), wire[0] if wire else len(f)) + f)
    return b"".join(out)


def describe(name):
    import time
    _, cases, *_ = CAPTURES[name]()
    for i, (desc, *_) in enumerate(cases):
        print(time.strftime("%H:%M:%S", time.gmtime(BASE_TIME + i)), desc)


def main(argv):
    if argv[:1] == ["--list"]:
        print("\n".join(CAPTURES))
    elif argv[:1] == ["--describe"] and len(argv) == 2 and argv[1] in CAPTURES:
        describe(argv[1])
    elif argv[:1] == ["--write"] and len(argv) in (2, 3):
        import os
        for name in argv[2:] or CAPTURES:
            with open(os.path.join(argv[1], name + ".pcap"), "wb") as f:
                f.write(pcap(name))
    else:
        sys.stderr.write(__doc__)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
