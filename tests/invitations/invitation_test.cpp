// The invitation rules without a window: URL encoding, the request URL of a whole form, the
// recipient list, the text limit, the album address and the service host.
#include "common/cp1252.h"
#include "invitations/invitation.h"
#include "invitations/invitation_job.h"

#include <gtest/gtest.h>

using namespace vistrel;

namespace {

std::string Ansi(const char* utf8) {
    return Utf8ToAnsi(utf8);
}

TEST(UrlEncode, ExamplesAndEveryByteClass) {
    EXPECT_EQ(UrlEncode(Ansi("Anna Müller")), "Anna+M%fcller");
    EXPECT_EQ(UrlEncode(Ansi("Hallo\r\nTschüss")), "Hallo%0d%0aTsch%fcss");
    EXPECT_EQ(UrlEncode("http://www.example.org/Urlaub_2003/postcard.htm"),
              "http%3a%2f%2fwww.example.org%2fUrlaub_2003%2fpostcard.htm");
    EXPECT_EQ(UrlEncode("!$'()*-._@"), "!$'()*-._@");
    EXPECT_EQ(UrlEncode("azAZ09"), "azAZ09");
    EXPECT_EQ(UrlEncode("&=%~+#?,;\"<>"), "%26%3d%25%7e%2b%23%3f%2c%3b%22%3c%3e");
    EXPECT_EQ(UrlEncode(std::string("\0\x7f\x80\xff", 4)), "%00%7f%80%ff");
    EXPECT_EQ(UrlEncode(Ansi("€ß")), "%80%df");
    EXPECT_EQ(UrlEncode(""), "");
}

TEST(RequestUrl, WholeForm) {
    TInvitationRequest request{
        "ecard.example.org:8080",        Ansi("Anna Müller"), "bernd@example.net", {"Hallo", Ansi("Tschüss")},
        "http://www.example.org/alben/", "Urlaub_2003",       "strand 1.jpg",      "anna@example.org"};
    EXPECT_EQ(BuildRequestUrl(request),
              "http://ecard.example.org:8080/cgi-bin/sendpostcard.pl?sendername=Anna+M%fcller"
              "&recipient=bernd@example.net&language=en&message=Hallo%0d%0aTsch%fcss"
              "&postcardurl=http%3a%2f%2fwww.example.org%2falben%2fUrlaub_2003%2fpostcard.htm"
              "&imagepath=strand+1.jpg&subject=Sie+haben+eine+Postkarte+erhalten!"
              "&galleryemail=anna@example.org");
    request.text.clear();
    EXPECT_NE(BuildRequestUrl(request).find("&message=&postcardurl="), std::string::npos);
}

TEST(Recipients, AddingRules) {
    std::vector<std::string> list;
    EXPECT_EQ(AddRecipient(list, "anna@example.org"), TAddRecipient::Added);
    EXPECT_EQ(AddRecipient(list, "ANNA@Example.ORG"), TAddRecipient::Duplicate);
    EXPECT_EQ(AddRecipientMessage(TAddRecipient::Duplicate, "ANNA@Example.ORG"),
              "ANNA@Example.ORG ist bereits in der Liste.");
    EXPECT_EQ(AddRecipient(list, "anna@localhost"), TAddRecipient::Invalid);
    EXPECT_EQ(AddRecipient(list, "anna.mueller@localhost"), TAddRecipient::Invalid)
        << "the dot is before the @";
    EXPECT_EQ(AddRecipient(list, "nobody.example.org"), TAddRecipient::Invalid);
    EXPECT_EQ(AddRecipientMessage(TAddRecipient::Invalid, "anna@localhost"),
              Ansi("anna@localhost ist keine gültige E-Mail Adresse."));
    EXPECT_EQ(AddRecipient(list, Ansi("jürgen@bücher.de")), TAddRecipient::Added);
    EXPECT_EQ(AddRecipient(list, Ansi("JÜRGEN@BÜCHER.DE")), TAddRecipient::Duplicate)
        << "case is ignored for the accented letters too";
    EXPECT_EQ(list.size(), 2u);
}

TEST(Recipients, FiftyAtMost) {
    std::vector<std::string> list;
    for (int i = 0; i < 50; ++i)
        ASSERT_EQ(AddRecipient(list, "r" + std::to_string(i) + "@example.org"), TAddRecipient::Added) << i;
    EXPECT_EQ(AddRecipient(list, "r50@example.org"), TAddRecipient::ListFull);
    // The full list is told before the address is looked at.
    EXPECT_EQ(AddRecipient(list, "kaputt"), TAddRecipient::ListFull);
    EXPECT_EQ(AddRecipientMessage(TAddRecipient::ListFull, "x"),
              Ansi("Die Liste kann höchstens 50 Einträge aufnehmen."));
    EXPECT_EQ(list.size(), 50u);
}

TEST(TextLimit, CountsLineEndsAndCutsAtTheLimit) {
    EXPECT_EQ(TextLength({}), 0u);
    EXPECT_EQ(TextLength({"Hallo", ""}), 9u);
    // 1200 characters pasted in one line: the first 1000 stay.
    auto cut = CutText({std::string(1200, 'x')});
    ASSERT_EQ(cut.size(), 1u);
    EXPECT_EQ(cut[0].size(), 1000u);
    // 998 + CR LF is exactly 1000: nothing to cut.
    std::vector<std::string> exact{std::string(998, 'a')};
    EXPECT_EQ(TextLength(exact), 1000u);
    EXPECT_EQ(CutText(exact), exact);
    // 999 + CR LF is 1001: the cut falls between CR and LF, the line stays whole.
    std::vector<std::string> over{std::string(999, 'a')};
    EXPECT_EQ(CutText(over), over);
    // A second line after the limit goes, a line across it is shortened.
    EXPECT_EQ(CutText({std::string(998, 'a'), "weg"}), (std::vector<std::string>{std::string(998, 'a')}));
    EXPECT_EQ(CutText({std::string(990, 'a'), "abcdefghij"}),
              (std::vector<std::string>{std::string(990, 'a'), "abcdefgh"}));
}

TEST(AlbumUrl, SuggestionAndSlash) {
    EXPECT_EQ(SuggestedAlbumUrl("www.example.org", "/alben/"), "http://www.example.org/alben");
    EXPECT_EQ(SuggestedAlbumUrl("www.example.org", "//alben//"), "http://www.example.org//alben/");
    EXPECT_EQ(SuggestedAlbumUrl("www.example.org", ""), "http://www.example.org/");
    EXPECT_EQ(AlbumUrlWithSlash("http://a.de/x"), "http://a.de/x/");
    EXPECT_EQ(AlbumUrlWithSlash("http://a.de/x/"), "http://a.de/x/");
}

TEST(ServiceHost, StoredOrTheAlbumsHost) {
    EXPECT_EQ(EffectiveServiceHost("ecard.example.org", "http://www.example.org/alben/"),
              "ecard.example.org");
    EXPECT_EQ(EffectiveServiceHost("  127.0.0.1:8080 ", "http://x/"), "127.0.0.1:8080");
    EXPECT_EQ(EffectiveServiceHost("", "http://www.example.org/alben/"), "www.example.org");
    EXPECT_EQ(EffectiveServiceHost("", "http://www.example.org:8000/alben/"), "www.example.org:8000");
    for (const char* bad : {"evil.org/x?", "a b", "user@host", "host:", "host:0", "host:70000", "host:8a",
                            ":80", "a:1:2", "ho\rst"}) {
        EXPECT_FALSE(IsUsableServiceHost(bad)) << bad;
        EXPECT_EQ(EffectiveServiceHost(bad, "http://site.example/"), "site.example") << bad;
    }
    EXPECT_TRUE(IsUsableServiceHost("localhost:65535"));
}

TEST(InvitationChecks, OrderAndMessages) {
    TInvitationParams params;
    params.galleryEmail = "";
    EXPECT_EQ(CheckInvitation(params).code, TInviteCode::NoRecipients) << "recipients are checked first";
    params.recipients = {"a@b.de"};
    EXPECT_EQ(CheckInvitation(params).code, TInviteCode::NoSenderAddress);
    params.galleryEmail = " anna@example.org";
    EXPECT_EQ(CheckInvitation(params).code, TInviteCode::NoSenderAddress)
        << "a leading blank counts as empty";
    params.galleryEmail = "anna@example.org";
    EXPECT_TRUE(CheckInvitation(params).Ok());
    params.recipients.clear();
    params.testInvitation = true;
    EXPECT_TRUE(CheckInvitation(params).Ok()) << "a test invitation needs no recipients";

    EXPECT_EQ(InviteMessage(TInviteResult::Success(), params),
              Ansi("Die Testeinladung wurde an anna@example.org verschickt. Schauen Sie jetzt bitte in Ihre "
                   "E-Mail, um die Einladung zu überprüfen."));
    params.testInvitation = false;
    EXPECT_EQ(InviteMessage(TInviteResult::Success(), params), "Einladungen verschickt!");
    EXPECT_EQ(
        InviteMessage(TInviteResult::Failure(TInviteCode::NoRecipients), params),
        Ansi("Bitte tragen Sie auf der Seite ''Empfänger'' die E-Mail Adressen der Empfänger der Einladung "
             "ein."));
    EXPECT_EQ(InviteMessage(TInviteResult::Failure(TInviteCode::Cancelled), params), "");
}

} // namespace
