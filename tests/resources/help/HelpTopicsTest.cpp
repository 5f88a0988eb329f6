// The help file as it lies beside the built program: the map, the topics,
// their links, and the labels each protocol topic must explain.

#include "platform/help/HelpMap.h"

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
    QString text;               // the characters, blanks collapsed
    QSet<QString> ids;          // anchors that links may name
    QStringList links;          // href of a and link elements
    QString error;              // empty when the topic is well-formed
};

CTopic ReadTopic(const QString& path) {
    CTopic topic;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        topic.error = "cannot open";
        return topic;
    }
    QXmlStreamReader xml(&file);
    QString text;
    bool inTitle = false;
    while (!xml.atEnd()) {
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
            text += xml.text();
        }
    }
    if (xml.hasError()) topic.error = QString("line %1: %2").arg(xml.lineNumber()).arg(xml.errorString());
    topic.text = text.simplified();
    return topic;
}

QString HelpDir() { return QStringLiteral(ORN_HELP_DIR); }

CHelpMap ReadMap() {
    QFile file(QDir(HelpDir()).filePath(kHelpMapFileName));
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray text = file.readAll();
    return ParseHelpMap(std::string_view(text.constData(), static_cast<std::size_t>(text.size())));
}

// The labels and value texts that the decoders print for each protocol,
// without their closing tabs and blanks; each topic must show them as they
// are printed.
const std::map<unsigned, QStringList>& ProtocolLabels() {
    static const std::map<unsigned, QStringList> labels = {
        {10001, {"AH PACKET", "Next header:", "Size of auth. data:", "SPI:", "Sequence Number:"}},
        {10002, {"CBT PACKET", "Version:", "Type:", "Hello", "Join Request", "Join Ack.", "Quit Notification",
                 "Echo Request", "Echo Reply", "Flush Tree", "Bootstrap Message", "Candidate Core Advertsiment",
                 "UNKNOWN", "Address Length:", "ChkSum:"}},
        {10003, {"<unknown>", "(No decoder installed for protocol with IP_PROTO = 8)"}},
        {10004, {"ESP PACKET"}},
        {10005, {"GGP PACKET", "Gateway Type:", "Echo Reply", "Acknowledgment", "Echo Request",
                 "Network Interface Status", "Negative Acknowledgment", "Routing Update", "UNKNOWN",
                 "Sequence Number:"}},
        {10006, {"GRE PACKET", "C, Checksum Present", "C, Checksum NOT Present", "R, Routing Present",
                 "R, Routing NOT Present", "K, Key Present", "K, Key NOT Present", "S, Sequence Number Present",
                 "S, Sequence Number NOT Present", "s, Strict Source Route Present",
                 "s, Strict Source Route NOT Present", "Version: 0", "Version: 1", "Protocol Type:", "Chksum:",
                 "Offset:", "Key:", "Sequence Number:", "Payload Len::", "Call ID:", "Acknowledgment Number:"}},
        {10007, {"HMP PACKET"}},
        {10008, {"ICMP PACKET", "ICMP Version =", "ICMP type =", "IGMP Chksum:", "Echo reply",
                 "Destination unreachable", "Source quench", "Redirect", "Alternate Host Address", "Echo request",
                 "Router advertisement", "Router solicitation", "Time exceeded", "Parameter problem",
                 "Timestamp request", "Timestamp reply", "Information request", "Information reply",
                 "Address mask request", "Address mask reply", "Reserved (for security)",
                 "Reserved (for robustness experiment)", "Traceroute", "Conversion error", "Mobile Host Redirect",
                 "IPv6 Where-Are-You", "IPv6 I-Am-Here", "Mobile Registration Request",
                 "Mobile Registration Reply", "Domain Name Request", "Domain Name Reply",
                 "Skip Algorithm Discovery Protocol", "Phuturis, Security failures", "Reserved"}},
        {10009, {"ICMPv6 PACKET", "IGMPv6 Type =", "ChkSum:", "Destination Unreachable", "Packet Too Big",
                 "Time Exceeded", "Parameter Problem", "Echo Request", "Echo Reply", "Group Membership Query",
                 "Group Membership Report", "Group Membership Reduction", "Router Solicitation",
                 "Router Advrtisement", "Neighbour Solicitation", "Neighbour Advrtisement", "Redirect",
                 "Router Renumbering", "ICMP Node Information Query", "ICMP Node Information Response"}},
        {10010, {"IDRP PACKET", "IDPR", "<unknown>", "(No decoder installed for protocol with IP_PROTO = 45)"}},
        {10011, {"IFMP PACKET", "Version:", "IHL:", "TOS field value:", "Total Length:", "Identification:",
                 "Flags field value:", "Fragment Offset:", "TTL:", "Protocol:", "Src Addr:", "Dest Addr:"}},
        {10012, {"IGMP PACKET", "Version =", "Version = 0", "Type = Host Membership Query",
                 "Type = Host Membership Report", "Type = Membership Report", "Type = Leave Group", "Type unknown",
                 "Max Resp Time =", "Grp Addr =", "Type =", "Create Group Request", "Create Group Reply",
                 "Join Group Request", "Join Group Reply", "Leave Group Request", "Leave Group Reply",
                 "Confirm Group Request", "Confirm Group Reply", "Code =", "Public", "Private", "Request granted",
                 "Request denied, no resources", "Request denied,invalid code,",
                 "Request denied, invalid group address", "Request denied, invalid access key", "Request pending",
                 "Chksum:", "Identifier:", "Access Key:"}},
        {10013, {"IPinIP PACKET", "Version:", "IHL:", "Precedence Routine", "Precedence Priority",
                 "Precedence Immediate", "Precedence Flash", "Precedence Flash Override", "Precedence CRITIC/ESP",
                 "Precedence Internetwork Control", "Precedence Network Control", "D bit: minimize delay set to",
                 "Low delay", "Normal delay", "T bit: minimize throughput set to", "High throughput",
                 "Normal throughput", "R bit: maximize reliability set to", "High reliability",
                 "Normal reliability", "M bit: minimize monetary cost set to", "Minimize monetary",
                 "Normal monetary", "Total Length:", "Identification:", "Don't Fragment flag set to",
                 "More Fragments flag set to", "Fragment Offset:", "TTL:", "Protocol:", "Src Addr:", "Dest Addr:"}},
        {10014, {"IPPCP PACKET", "Next header:", "Flags:", "Compression parameter index:"}},
        {10015, {"IRTP PACKET"}},
        {10016, {"MEP PACKET", "Version:", "IHL:", "TOS field value:", "Total Length:", "Identification:",
                 "Flags field value:", "Fragment Offset:", "TTL:", "Protocol:", "Src Addr:", "Dest Addr:"}},
        {10017, {"MTP PACKET"}},
        {10018, {"NARP PACKET", "Version:", "Hop Count:", "Chksum:", "Type:", "Code:", "Src Addr:", "Dest Addr:",
                 "Length:", "NBMA address:"}},
        {10019, {"NETBLT PACKET"}},
        {10020, {"NVP PACKET"}},
        {10021, {"OSPF PACKET", "Version:", "Type:", "Hello", "Database Description", "Link State Request",
                 "Link State Update", "Lin State Acknowledgment", "Unknown", "Length:", "Router ID:", "Area ID:",
                 "Chksum:", "Authentication type:", "Instance ID:", "Reserved:"}},
        {10022, {"PIM PACKET"}},
        {10023, {"RDP PACKET"}},
        {10024, {"RSVP PACKET", "Version:", "Flags:", "Message type:", "Chksum:", "Reserved field:", "TTL value:",
                 "Length:", "Path", "Resv", "PathErr", "ResvErr", "PathTear", "ResvTear", "ResvConf",
                 "DREQ, Diagnostic Request", "DREP, Diagnostic Reply", "ResvTearConfirm", "Integrity Challenge",
                 "Integrity Response", "ACK", "Srefresh", "DBMS_willing", "I_AM_DBMS", "Hello"}},
        {10026, {"SDRP PACKET", "Version:", "Data/Control flag:", "The packet carries data",
                 "The packet carries control information", "Loose/Strict Source Route flag:",
                 "The next hop is a Strict Source Route Hop", "The next hop is a Loose Source Route",
                 "Probe Indicator flag:", "The originator is probing the route",
                 "The packet contains control information", "Hop count:", "Source protocol type:",
                 "Payload protocol type:", "Source route ID:", "Targer route ID:", "Prefix:", "Prefix len:",
                 "Notification code:", "No Route Available", "Strict Source Route Failed",
                 "Transit Policy Violation", "Hop Count Exceeded", "Probe Completed", "Unimplemented SDRP version",
                 "Unimplemented Source Route Protocol Type", "Setup Request Rejected", "Source route len:",
                 "Next hop ptr:"}},
        {10027, {"SKIP PACKET"}},
        {10028, {"TCP PACKET", "Source Port:", "Dest Port:", "Flags:", "Control Bits:", "URG", "ACK", "PSH", "RST",
                 "SYN", "FIN", "Window size:", "TCP Chksum:", "Seq Num:", "ACK Num:", "Urgent ptr:"}},
        {10029, {"TMux PACKET"}},
        {10030, {"UDP PACKET:", "Source Port:", "Dest Port:", "UDP Len:", "ChkSum:"}},
        {10031, {"VMTP PACKET"}},
        {10032, {"VRRP PACKET", "Version:", "Type:", "Virtua Router ID:", "Priority:", "IP Address count:",
                 "Authentication Type:", "Advertisement Int:", "Shksum:"}},
    };
    return labels;
}

// What the window topics and the shared pages must name as the program shows it.
const std::map<QString, QStringList>& PageTexts() {
    static const std::map<QString, QStringList> texts = {
        {"index.html", {"Start listening", "Stop listening", "Filters ...", "Help", "About", "End", "Transparency",
                        "Src. addr.", "Dest. addr.", "port", "Prot.", "Len.", "KB/sec", "packets/sec", ">:-)",
                        "Failed to launch help.", "This program requires Linux 3.2!!!", "About Pelmar...",
                        "Source Addr:", "Source Port:", "Dest. Addr:", "Dest Port:", "Sub-protocol:",
                        "Additional Info:", "Message Body:", "/var/lib/orn/", "Log", "ORN_2026_12_05_22_16_25.log",
                        "Creating new log file at", "102400", "256 KiB", "cap_net_raw", "cap_net_admin",
                        "SCTP PACKET", "Src Port:", "Dest Port:", "Verification tag:", "Chksum:", "<unknown>"}},
        {"decoded-text.html", {"IP HEADER", "IP Version:", "IP Header Len:", "IP TOS:", "(hex)", "IP Total Len:",
                               "Identification:", "IP Flags:", "Frag Offset:", "TTL:", "Hdr Checksum:", "Src Addr:",
                               "Dest Addr:", "IP MESSAGE:", "(No decoder installed for protocol with IP_PROTO =",
                               "%-05d", "4294967296", "<Sat, 05 Dec 2026 22:16:25>"}},
        {"filters.html", {"Source filters", "Destination filters", "Add", "Edit", "Delete", "Receive full info",
                          "Receive reduced info", "Reduced info", "Receive messsages", "OK", "Cancel", "Help",
                          "Item with same address and port already exists!!!",
                          "Entry with same address and port already exists!!!", "Some error occures!!!",
                          "/var/lib/orn/"}},
        {"filter-entry.html", {"Address", "Browse", "Port", "HTTP", "FTP", "SMTP", "POP3", "Whois", "Finger",
                               "Telnet", "Other...", "OK", "Cancel", "Help", "Port number can not be negative!!!",
                               "Port number can not be bigger than 65535!!!", "255.255.255.255"}},
        {"host-browser.html", {"IP Address:", "Computer name:", "OK", "Cancel", "Help", "32 milliseconds",
                               "255.255.255.0"}},
    };
    return texts;
}

}  // namespace

class HelpTopicsTest : public QObject {
    Q_OBJECT

private slots:
    void mapCoversExactlyTheProgramsContexts() {
        const CHelpMap map = ReadMap();
        QVERIFY2(map.problems.empty(), map.problems.empty() ? "" : map.problems.front().c_str());
        QVERIFY(map.contents);
        QCOMPARE(QString::fromStdString(*map.contents), QStringLiteral("index.html"));
        std::set<unsigned> expected = {129, 130, 134};
        for (unsigned context = 10001; context <= 10032; ++context) {
            if (context != 10025) expected.insert(context);
        }
        std::set<unsigned> mapped;
        for (const auto& [context, topic] : map.topics) mapped.insert(context);
        QCOMPARE(mapped, expected);
        QCOMPARE(map.topics.size(), std::size_t(34));
        QCOMPARE(QString::fromStdString(*map.Topic(129)), QStringLiteral("filters.html"));
        QCOMPARE(QString::fromStdString(*map.Topic(130)), QStringLiteral("filter-entry.html"));
        QCOMPARE(QString::fromStdString(*map.Topic(134)), QStringLiteral("host-browser.html"));
        QCOMPARE(QString::fromStdString(*map.Topic(10028)), QStringLiteral("tcp.html"));
        QCOMPARE(QString::fromStdString(*map.Topic(10009)), QStringLiteral("icmpv6.html"));
        // Every protocol context has its own topic.
        QSet<std::string> protocolTopics;
        for (const auto& [context, topic] : map.topics) {
            if (context > 10000) protocolTopics.insert(topic);
        }
        QCOMPARE(protocolTopics.size(), 31);
    }

    void everyTopicIsWellFormedAndTitled() {
        const QDir dir(HelpDir());
        const QStringList files = dir.entryList({"*.html"}, QDir::Files);
        QVERIFY(files.size() >= 36);
        const CHelpMap map = ReadMap();
        for (const auto& [context, topic] : map.topics) {
            QVERIFY2(files.contains(QString::fromStdString(topic)), topic.c_str());
        }
        for (const QString& file : files) {
            const CTopic topic = ReadTopic(dir.filePath(file));
            QVERIFY2(topic.error.isEmpty(), qPrintable(file + ": " + topic.error));
            QVERIFY2(!topic.title.trimmed().isEmpty(), qPrintable(file));
            QVERIFY2(topic.text.size() > 400, qPrintable(file + " says too little"));
        }
    }

    void linksResolve() {
        const QDir dir(HelpDir());
        std::map<QString, CTopic> topics;
        for (const QString& file : dir.entryList({"*.html"}, QDir::Files)) topics[file] = ReadTopic(dir.filePath(file));
        for (const auto& [file, topic] : topics) {
            for (const QString& href : topic.links) {
                const QUrl url(href);
                QVERIFY2(url.isRelative() && url.scheme().isEmpty(), qPrintable(file + ": " + href));
                const QString target = url.path().isEmpty() ? file : url.path();
                QVERIFY2(!target.contains('/'), qPrintable(file + ": " + href));
                QVERIFY2(dir.exists(target), qPrintable(file + ": " + href));
                if (url.hasFragment()) {
                    QVERIFY2(topics.count(target) && topics[target].ids.contains(url.fragment()),
                             qPrintable(file + ": " + href));
                }
            }
        }
    }

    void contentsLinksEveryOtherTopic() {
        const QDir dir(HelpDir());
        const CTopic contents = ReadTopic(dir.filePath("index.html"));
        QSet<QString> linked;
        for (const QString& href : contents.links) linked.insert(QUrl(href).path());
        for (const QString& file : dir.entryList({"*.html"}, QDir::Files)) {
            if (file != "index.html") QVERIFY2(linked.contains(file), qPrintable(file));
        }
    }

    void protocolTopicsExplainEveryLabel_data() {
        QTest::addColumn<unsigned>("context");
        for (const auto& [context, labels] : ProtocolLabels()) {
            QTest::newRow(QByteArray::number(context).constData()) << context;
        }
    }

    void protocolTopicsExplainEveryLabel() {
        QFETCH(unsigned, context);
        const CHelpMap map = ReadMap();
        QVERIFY(map.Topic(context));
        const QString file = QString::fromStdString(*map.Topic(context));
        const CTopic topic = ReadTopic(QDir(HelpDir()).filePath(file));
        QVERIFY2(topic.error.isEmpty(), qPrintable(topic.error));
        for (const QString& label : ProtocolLabels().at(context)) {
            QVERIFY2(topic.text.contains(label), qPrintable(file + " lacks \"" + label + "\""));
        }
        // Says what the protocol is: its number and where it is defined.
        QVERIFY2(topic.text.contains("IP protocol"), qPrintable(file));
        QVERIFY2(topic.text.contains(QRegularExpression("RFC \\d+|ISO/IEC|drafts")), qPrintable(file));
        // Says where the message body begins.
        QVERIFY2(topic.text.contains("Message body"), qPrintable(file));
    }

    void everyProtocolHasLabelsToCheck() {
        const CHelpMap map = ReadMap();
        for (const auto& [context, topic] : map.topics) {
            if (context > 10000) QVERIFY2(ProtocolLabels().count(context), qPrintable(QString::number(context)));
        }
    }

    void pagesNameWhatTheProgramShows_data() {
        QTest::addColumn<QString>("file");
        for (const auto& [file, texts] : PageTexts()) QTest::newRow(qPrintable(file)) << file;
    }

    void pagesNameWhatTheProgramShows() {
        QFETCH(QString, file);
        const CTopic topic = ReadTopic(QDir(HelpDir()).filePath(file));
        QVERIFY2(topic.error.isEmpty(), qPrintable(topic.error));
        for (const QString& text : PageTexts().at(file)) {
            QVERIFY2(topic.text.contains(text), qPrintable(file + " lacks \"" + text + "\""));
        }
    }
};

QTEST_GUILESS_MAIN(HelpTopicsTest)
#include "HelpTopicsTest.moc"
