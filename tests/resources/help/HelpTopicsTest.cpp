// The help file as it lies beside the built program: the map, the topics and
// their links; every label the decoder prints explained in its topic, and
// every text of a window named in that window's topic.

#include "decode/IpDatagram.h"
#include "platform/capture/CaptureSource.h"
#include "platform/help/HelpMap.h"
#include "resources/templates/DialogTemplates.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <QUrl>
#include <QXmlStreamReader>

#include <map>
#include <set>

namespace {

struct CTopic {
    QString title;
    QString text;       // the characters, blanks collapsed
    QSet<QString> ids;  // anchors that links may name
    QStringList links;  // href of a and link elements
    QString error;      // empty when the topic is well-formed
};

QDir HelpDir() { return QDir(QStringLiteral(ORN_HELP_DIR)); }

CTopic ReadTopic(const QString& name) {
    CTopic topic;
    QFile file(HelpDir().filePath(name));
    if (!file.open(QIODevice::ReadOnly)) topic.error = "cannot open";
    QXmlStreamReader xml(&file);
    bool inTitle = false;
    while (file.isOpen() && !xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            const auto attributes = xml.attributes();
            if (attributes.hasAttribute("id")) topic.ids.insert(attributes.value("id").toString());
            if (attributes.hasAttribute("href")) topic.links << attributes.value("href").toString();
            inTitle = xml.name() == QLatin1String("title");
        } else if (xml.isEndElement()) {
            inTitle = false;
        } else if (xml.isCharacters()) {
            if (inTitle) topic.title += xml.text();
            topic.text += xml.text();
        }
    }
    if (xml.hasError()) topic.error = QString("line %1: %2").arg(xml.lineNumber()).arg(xml.errorString());
    topic.text = topic.text.simplified();
    return topic;
}

CHelpMap ReadMap() {
    QFile file(HelpDir().filePath(kHelpMapFileName));
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray text = file.readAll();
    return ParseHelpMap(std::string_view(text.constData(), static_cast<std::size_t>(text.size())));
}

// The protocol numbers each topic explains: SCTP has no topic of its own and
// the contents explain it; IDRP's topic also explains why 45 has no decoder.
const std::map<QString, std::vector<int>> kProtocolTopics = {
    {"ah.html", {51}},      {"cbt.html", {7}},      {"egp.html", {8}},      {"esp.html", {50}},
    {"ggp.html", {3}},      {"gre.html", {47}},     {"hmp.html", {20}},     {"icmp.html", {1}},
    {"icmpv6.html", {58}},  {"idrp.html", {35, 38, 45}}, {"ifmp.html", {101}}, {"igmp.html", {2}},
    {"ipinip.html", {4}},   {"ippcp.html", {108}},  {"irtp.html", {28}},    {"mep.html", {55}},
    {"mtp.html", {92}},     {"narp.html", {54}},    {"netblt.html", {30}},  {"nvp.html", {11}},
    {"ospf.html", {89}},    {"pim.html", {103}},    {"rdp.html", {27}},     {"rsvp.html", {46}},
    {"sdrp.html", {42}},    {"skip.html", {57}},    {"tcp.html", {6}},      {"tmux.html", {18}},
    {"udp.html", {17}},     {"vmtp.html", {81}},    {"vrrp.html", {112}},   {"index.html", {132}}};

// Decodes a datagram to protocol with the transport bytes in full info and
// adds the pieces of its text to pieces (with the IP header's and the
// message's heading only when whole); returns the protocol's name in the list.
std::string Decode(int protocol, const std::vector<std::uint8_t>& transport, bool whole,
                   std::set<std::string>& pieces) {
    std::vector<std::uint8_t> d = {0x45, 0, 0, std::uint8_t(20 + transport.size()), 0, 0, 0, 0, 64,
                                   std::uint8_t(protocol), 0, 0, 10, 0, 0, 1, 10, 0, 0, 2};
    d.insert(d.end(), transport.begin(), transport.end());
    static char text[kDecodedTextSize];
    int accepted = 0, length = 0;
    CPacketRecord record;
    DecodeIpDatagram(d, std::uint32_t(d.size()), accepted, text, length, {}, {}, {}, {}, 1, whole, record);
    std::string_view rest(text, std::size_t(length));
    if (!whole) rest.remove_prefix(rest.find('\t', rest.find("\tDest Addr: ") + 1) + 1);
    while (!rest.empty()) {
        const std::size_t end = std::min(rest.size(), rest.find_first_of("\t\r\n"));
        if (end > 0) pieces.emplace(rest.substr(0, end));
        rest.remove_prefix(std::min(rest.size(), end + 1));
    }
    return record.protocolName;
}

// Of each piece its label (up to its last ": ", " = " or " set to", or the
// whole piece) and a value without digits; TCP's flags, a value of capital
// names only, name by name.
QSet<QString> Labels(const std::set<std::string>& pieces) {
    static const QRegularExpression labelled("^(.*(?::|=| set to)) (.*)$"), digit("\\d"), names("^[A-Z]+( [A-Z]+)+$");
    QSet<QString> texts;
    for (const std::string& p : pieces) {
        const QString piece = QString::fromLatin1(p).trimmed();
        const auto m = labelled.match(piece);
        texts << (m.hasMatch() ? m.captured(1) : piece);
        const QString value = m.captured(2);
        if (value.contains(names))
            for (const QString& name : value.split(' ')) texts << name;
        else if (m.hasMatch() && !value.contains(digit))
            texts << value;
    }
    return texts;
}

// What a protocol's datagrams show: transport parts of 18 and 40 bytes
// (IGMP tells its forms by length), all 0, 1 or 2 (a type that picks the
// table of the next byte) but for one of their first 20 bytes, which takes
// every value.
QSet<QString> Printed(int protocol) {
    std::set<std::string> pieces;
    QSet<QString> texts;
    for (std::size_t size : {18u, 40u})
        for (std::uint8_t fill : {0, 1, 2})
            for (std::size_t at = 0; at < 20; ++at)
                for (int value = 0; value < 256; ++value) {
                    std::vector<std::uint8_t> transport(size, fill);
                    transport[at] = std::uint8_t(value);
                    texts << QString::fromLatin1(Decode(protocol, transport, false, pieces));
                }
    return texts | Labels(pieces);
}

QStringList Missing(const QString& topicName, const QSet<QString>& texts) {
    const CTopic topic = ReadTopic(topicName);
    QStringList missing;
    for (const QString& t : texts)
        if (!topic.text.contains(t)) missing << '"' + t + '"';
    missing.sort();
    return missing;
}

}  // namespace

class HelpTopicsTest : public QObject {
    Q_OBJECT

private slots:
    // The window contexts, and 10001 to 10032 but 10025 with a protocol topic each.
    void mapCoversExactlyTheProgramsContexts() {
        const CHelpMap map = ReadMap();
        QVERIFY2(map.problems.empty(), map.problems.empty() ? "" : map.problems.front().c_str());
        QCOMPARE(QString::fromStdString(map.contents.value_or("")), QStringLiteral("index.html"));
        std::set<unsigned> contexts, expected = {129, 130, 134};
        for (unsigned context = 10001; context <= 10032; ++context)
            if (context != 10025) expected.insert(context);
        std::set<std::string> protocolTopics;
        for (const auto& [context, topic] : map.topics) {
            contexts.insert(context);
            if (context > 10000 && protocolTopics.insert(topic).second)
                QVERIFY2(kProtocolTopics.count(QString::fromStdString(topic)), topic.c_str());
        }
        QCOMPARE(contexts, expected);
        QCOMPARE(protocolTopics.size(), std::size_t(31));
        QCOMPARE(*map.Topic(130), "filter-entry.html");
        QCOMPARE(*map.Topic(10028), "tcp.html");
    }

    void everyTopicIsWellFormedTitledAndReachable() {
        const QStringList files = HelpDir().entryList({"*.html"}, QDir::Files);
        QVERIFY(files.size() >= 36);
        for (const auto& [context, topic] : ReadMap().topics)
            QVERIFY2(files.contains(QString::fromStdString(topic)), topic.c_str());
        std::map<QString, CTopic> topics;
        for (const QString& file : files) topics[file] = ReadTopic(file);
        QSet<QString> fromContents;
        for (const QString& href : topics["index.html"].links) fromContents.insert(QUrl(href).path());
        for (const auto& [file, topic] : topics) {
            QVERIFY2(topic.error.isEmpty(), qPrintable(file + ": " + topic.error));
            QVERIFY2(!topic.title.trimmed().isEmpty(), qPrintable(file));
            QVERIFY2(topic.text.size() > 400, qPrintable(file + " says too little"));
            // Only the helper has a capability; the window never needs one.
            QVERIFY2(!topic.text.contains(QRegularExpression("cap_net_admin|setcap \\S+ (?!build/orn-capture)")), qPrintable(file));
            QVERIFY2(file == "index.html" || fromContents.contains(file), qPrintable(file + " is not in the contents"));
            // Links stay inside the help directory and name anchors that exist.
            for (const QString& href : topic.links) {
                const QUrl url(href);
                const QString target = url.path().isEmpty() ? file : url.path();
                const bool anchored = !url.hasFragment() || topics[target].ids.contains(url.fragment());
                QVERIFY2(url.isRelative() && url.scheme().isEmpty() && !target.contains('/') &&
                             HelpDir().exists(target) && anchored,
                         qPrintable(file + ": " + href));
            }
        }
    }

    void protocolTopicsExplainEveryPrintedLabel() {
        for (const auto& [file, protocols] : kProtocolTopics) {
            QSet<QString> printed;
            for (int protocol : protocols) printed |= Printed(protocol);
            const QStringList missing = Missing(file, printed);
            QVERIFY2(missing.isEmpty(), qPrintable(file + " lacks " + missing.join(", ")));
            if (file == "index.html") continue;
            // Says what the protocol is: its number, where it is defined, and where the message body begins.
            const CTopic topic = ReadTopic(file);
            QVERIFY2(topic.text.contains("IP protocol") && topic.text.contains("Message body") &&
                         topic.text.contains(QRegularExpression("RFC \\d+|ISO/IEC|drafts")),
                     qPrintable(file));
        }
        // The IP header's pieces, without a decoder, and the message's heading.
        std::set<std::string> pieces;
        Decode(8, {}, true, pieces);
        const QSet<QString> header = Labels(pieces);
        QVERIFY(header.contains("IP Header Len:") && header.contains("IP MESSAGE:"));
        const QStringList missing = Missing("decoded-text.html", header);
        QVERIFY2(missing.isEmpty(), qPrintable("decoded-text.html lacks " + missing.join(", ")));
    }

    // Every text a window shows is named in its topic as the window shows
    // it, and so are the messages it can give.
    void windowTopicsNameWhatTheWindowsShow() {
        const std::map<QString, std::pair<std::vector<int>, QStringList>> pages = {
            {"index.html", {{102, 132, 100}, {">:-)", "KB/sec", "packets/sec", "Creating new log file at",
                                              "Failed to launch help.", "This program requires Linux 3.2!!!",
                                              "This program requires Windows 2000!!!", kWindowsPermissionAdvice,
                                              "About Pelmar...", QString(kPermissionMessage).section('\n', 0, 0),
                                              QString(kPermissionMessage).section('\n', 1), kPermissionAdvice,
                                              "orn-capture", "group orn", "Follow newest", "Clear", "Open capture...",
                                              "Save as pcapng...", "Interface", "(not available)", "lost", "Message as hex"}}},
            {"filters.html", {{129}, {"Item with same address and port already exists!!!",
                                      "Entry with same address and port already exists!!!", "Some error occures!!!"}}},
            {"filter-entry.html", {{130}, {"Port number can not be negative!!!",
                                           "Port number can not be bigger than 65535!!!"}}},
            {"host-browser.html", {{134}, {}}}};
        for (const auto& [file, page] : pages) {
            QSet<QString> texts(page.second.begin(), page.second.end());
            for (int id : page.first)
                for (const ControlTemplate& c : FindDialogTemplate(id)->controls) {
                    if (c.text && c.kind != ControlKind::Icon && c.kind != ControlKind::UpDown) texts << c.text;
                    for (const char* item : c.items) texts << item;
                }
            texts -= {"Static", "..."};  // placeholders the window replaces
            const QStringList missing = Missing(file, texts);
            QVERIFY2(missing.isEmpty(), qPrintable(file + " lacks " + missing.join(", ")));
        }
    }
};

QTEST_GUILESS_MAIN(HelpTopicsTest)
#include "HelpTopicsTest.moc"
