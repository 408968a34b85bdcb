#include "whois/WhoisAnswer.h"

#include "tests/net/TestPrinters.h"

#include <gtest/gtest.h>

using WhoisAnswer::parse;

namespace {

constexpr int RuZone = 0, RegistrarZone = 1, RipeZone = 5, DeZone = 6;

// A database answer as such servers send it: comments, blank lines, LF line ends, one stray CR.
const QString DatabaseAnswer = QStringLiteral("% This is the RIPE Database query service.\n"
                                              "% The objects are in RPSL format.\n"
                                              "%\n"
                                              "\n"
                                              "inetnum:        10.20.30.0 - 10.20.30.255\n"
                                              "netname:        EXAMPLE-NET\n"
                                              "descr:          Example Network\n"
                                              "descr:          Amsterdam office\r\n"
                                              "country:    NL   \n"
                                              "country:        DE\n"
                                              "org:            ORG-EX1-RIPE\n"
                                              "\n"
                                              "person:         John Doe\n"
                                              "address:        Damrak 1\n"
                                              "address:        1012 LG Amsterdam\n"
                                              "phone:          +31 20 000 0000\n"
                                              "\n"
                                              "person:         Jane Roe\n"
                                              "address:        Elsewhere 2\n"
                                              "% Information related to 'AS64500'\n");

const QString RegistrarAnswer = QStringLiteral("Whois Server Version 2.0\n\n"
                                               "Domain names can now be registered with many registrars.\n"
                                               "See the registrar's privacy POLICY. More legal text here.\n"
                                               "By submitting a query, You Agree To Abide By These Terms.\n"
                                               "\n"
                                               "registrant:\n"
                                               "   Example Holdings LLC\n"
                                               "   100 Main Street\n"
                                               "   Springfield, IL 62701\n"
                                               "   US\n"
                                               "\n"
                                               "   Domain Name: EXAMPLE.COM\n");

} // namespace

TEST(WhoisAnswerDatabase, FieldsComeFromTheirKeyLines)
{
    const WhoisAnswer::Parsed p = parse(DatabaseAnswer, RipeZone);
    EXPECT_EQ(p.country, u"NL DE");
    EXPECT_EQ(p.networkName, u"EXAMPLE-NET");
    EXPECT_EQ(p.organization, u"ORG-EX1-RIPE");
    EXPECT_EQ(p.description, u"Example Network Amsterdam office");
    // Only the first person's block gives the address.
    EXPECT_EQ(p.address, QStringLiteral("Damrak 1\r\n1012 LG Amsterdam"));
    EXPECT_FALSE(p.registrantCountry.has_value());
}

TEST(WhoisAnswerDatabase, CleanTextDropsCommentsAndBlankLinesAndEndsEveryLineWithCrLf)
{
    for (const int zone : {0, 4, 5, 6}) {
        const QString text = parse(DatabaseAnswer, zone).text;
        EXPECT_TRUE(text.startsWith(u"inetnum:        10.20.30.0 - 10.20.30.255\r\nnetname:")) << zone;
        EXPECT_TRUE(text.endsWith(u"address:        Elsewhere 2\r\n")) << zone;
        EXPECT_FALSE(text.contains(u'%')) << zone;
        EXPECT_FALSE(text.contains(u"\r\n\r\n")) << zone;
        EXPECT_EQ(text.count(u'\r'), text.count(u'\n')) << zone;
    }
    // A registrar answer keeps its comment-like lines.
    EXPECT_TRUE(parse(DatabaseAnswer, RegistrarZone).text.contains(u"% The objects"));
}

TEST(WhoisAnswerDatabase, AnswerWithoutPersonLeavesTheAddressAloneAndMissingKeysGiveEmptyFields)
{
    const WhoisAnswer::Parsed p = parse(QStringLiteral("inetnum: 1.2.3.0 - 1.2.3.255\nstatus: ASSIGNED PA\n"), RuZone);
    EXPECT_FALSE(p.address.has_value());
    EXPECT_TRUE(p.country.isEmpty());
    EXPECT_TRUE(p.networkName.isEmpty());
    const WhoisAnswer::Parsed withPerson = parse(QStringLiteral("person: Nobody\nphone: 1\n"), DeZone);
    EXPECT_EQ(withPerson.address, QString());
}

TEST(WhoisAnswerRegistrar, PolicyTextsAreCutAndTheRegistrantBlockGivesTheFields)
{
    const WhoisAnswer::Parsed p = parse(RegistrarAnswer, RegistrarZone);
    EXPECT_TRUE(p.text.startsWith(u"\r\n\r\nregistrant:\r\n")) << qPrintable(p.text);
    EXPECT_FALSE(p.text.contains(u"legal text", Qt::CaseInsensitive));
    EXPECT_EQ(p.organization, u"Example Holdings LLC");
    EXPECT_EQ(p.description, u"Example Holdings LLC");
    EXPECT_EQ(p.address, QStringLiteral("100 Main Street\r\nSpringfield, IL 62701\r\nUS"));
    EXPECT_EQ(p.registrantCountry, u"US");
    EXPECT_TRUE(p.country.isEmpty());
    EXPECT_TRUE(p.networkName.isEmpty());
}

TEST(WhoisAnswerRegistrar, OrganizationKeyStandsInForAMissingRegistrant)
{
    const WhoisAnswer::Parsed p = parse(QStringLiteral("Organization:\nACME Corp\nRoad 1\nTown\n\nrest\n"), 1);
    EXPECT_EQ(p.organization, u"ACME Corp");
    EXPECT_EQ(p.address, QStringLiteral("Road 1\r\nTown"));
    EXPECT_TRUE(p.description.isEmpty());
    EXPECT_FALSE(p.registrantCountry.has_value());

    const WhoisAnswer::Parsed none = parse(QStringLiteral("No match for EXAMPLE.TEST.\n"), 1);
    EXPECT_TRUE(none.organization.isEmpty());
    EXPECT_FALSE(none.address.has_value());
    // A key at the very end has no block after it.
    EXPECT_FALSE(parse(QStringLiteral("Registrant:"), 1).address.has_value());
    // A block that begins with its blank line has no line before it to take a country from.
    EXPECT_FALSE(parse(QStringLiteral("Registrant:\n\nName\n"), 1).registrantCountry.has_value());
}

TEST(WhoisAnswerHelpers, BlockAfterFirstLineNeedsThreeLinesAndStopsAtTheFirstEmptyOne)
{
    EXPECT_EQ(WhoisAnswer::BlockAfterFirstLine(QStringLiteral("Name\r\n  Street 1 \r\nTown\r\n\r\nlater")),
              QStringLiteral("Street 1\r\nTown"));
    EXPECT_EQ(WhoisAnswer::BlockAfterFirstLine(QStringLiteral("Name\r\nStreet")), QString());
    EXPECT_EQ(WhoisAnswer::BlockAfterFirstLine(QStringLiteral("Name\r\nStreet\r\n")), u"Street");
}

TEST(WhoisAnswerHelpers, ValuesAreTheRestOfTheLineAfterTheKeyFoundWithoutCase)
{
    const QStringList lines{QStringLiteral("Country:   nl  "), QStringLiteral("country:"), QStringLiteral("x: y")};
    EXPECT_EQ(WhoisAnswer::joinedValues(lines, u"country:"), u"nl ");
    EXPECT_EQ(WhoisAnswer::joinedValues(lines, u"netname:"), QString());
}
