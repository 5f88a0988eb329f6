// Protocols that ORN names but whose fields it does not render: a heading and
// a header length of 0, so with the messages flag the whole transport part
// becomes the message.

#include <string_view>

#include "decode/ProtocolDecoders.h"

namespace {

void Heading(std::uint16_t& decoderHeaderLength, CTextAppender& text, std::string_view heading) {
    decoderHeaderLength = 0;
    text.Literal(heading);
}

}  // namespace

void DecodeNvp(Datagram, std::uint32_t, std::size_t, std::uint16_t& decoderHeaderLength, CTextAppender& text,
               bool) {
    Heading(decoderHeaderLength, text, "NVP PACKET\t");
}

void DecodeTmux(Datagram, std::uint32_t, std::size_t, std::uint16_t& decoderHeaderLength, CTextAppender& text,
                bool) {
    Heading(decoderHeaderLength, text, "TMux PACKET\t");
}

void DecodeHmp(Datagram, std::uint32_t, std::size_t, std::uint16_t& decoderHeaderLength, CTextAppender& text,
               bool) {
    Heading(decoderHeaderLength, text, "HMP PACKET\t");
}

void DecodeRdp(Datagram, std::uint32_t, std::size_t, std::uint16_t& decoderHeaderLength, CTextAppender& text,
               bool) {
    Heading(decoderHeaderLength, text, "RDP PACKET\t");
}

void DecodeIrtp(Datagram, std::uint32_t, std::size_t, std::uint16_t& decoderHeaderLength, CTextAppender& text,
                bool) {
    Heading(decoderHeaderLength, text, "IRTP PACKET\t");
}

void DecodeNetblt(Datagram, std::uint32_t, std::size_t, std::uint16_t& decoderHeaderLength,
                  CTextAppender& text, bool) {
    Heading(decoderHeaderLength, text, "NETBLT PACKET\t");
}

// Protocols 35 and 38 share this decoder and the name "IDPR"; the heading
// reads IDRP and both spellings stand.
void DecodeIdrp(Datagram, std::uint32_t, std::size_t, std::uint16_t& decoderHeaderLength, CTextAppender& text,
                bool) {
    Heading(decoderHeaderLength, text, "IDRP PACKET\t");
}

void DecodeSkip(Datagram, std::uint32_t, std::size_t, std::uint16_t& decoderHeaderLength, CTextAppender& text,
                bool) {
    Heading(decoderHeaderLength, text, "SKIP PACKET\t");
}

void DecodeVmtp(Datagram, std::uint32_t, std::size_t, std::uint16_t& decoderHeaderLength, CTextAppender& text,
                bool) {
    Heading(decoderHeaderLength, text, "VMTP PACKET\t");
}

void DecodeMtp(Datagram, std::uint32_t, std::size_t, std::uint16_t& decoderHeaderLength, CTextAppender& text,
               bool) {
    Heading(decoderHeaderLength, text, "MTP PACKET\t");
}

void DecodePim(Datagram, std::uint32_t, std::size_t, std::uint16_t& decoderHeaderLength, CTextAppender& text,
               bool) {
    Heading(decoderHeaderLength, text, "PIM PACKET\t");
}

// ESP's payload is encrypted, so there is nothing to render, but the heading
// keeps its record from looking like a protocol without decoder.
void DecodeEsp(Datagram, std::uint32_t, std::size_t, std::uint16_t& decoderHeaderLength, CTextAppender& text,
               bool) {
    Heading(decoderHeaderLength, text, "ESP PACKET\t");
}
