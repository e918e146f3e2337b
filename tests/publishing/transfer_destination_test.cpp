// The transfer list names the destination it was written for: any change of protocol, port or
// account makes it another destination, so its lines never claim files the new one lacks.
#include "publishing/connection_settings.h"
#include "publishing/transfer_list.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

using namespace vistrel;

namespace {

TEST(TransferDestination, EveryPartOfTheDestinationCounts) {
    TConnectionSettings ftp;
    ftp.host = "example.org";
    ftp.user = "anna";
    EXPECT_EQ(TransferListDestination(ftp), "ftp://anna@example.org:21");
    ftp.port = "ftp";
    EXPECT_EQ(TransferListDestination(ftp), "ftp://anna@example.org:21") << "the default port by name";
    TConnectionSettings ftps = ftp;
    ftps.useTls = true;
    EXPECT_EQ(TransferListDestination(ftps), TransferListDestination(ftp)) << "FTPS reaches the same files";
    TConnectionSettings sftp = ftp;
    sftp.protocol = TRemoteProtocol::Sftp;
    sftp.port.clear();
    EXPECT_EQ(TransferListDestination(sftp), "sftp://anna@example.org:22");
    TConnectionSettings otherUser = ftp;
    otherUser.user = "bert";
    TConnectionSettings otherPort = ftp;
    otherPort.port = "2121";
    EXPECT_NE(TransferListDestination(otherUser), TransferListDestination(ftp));
    EXPECT_NE(TransferListDestination(otherPort), TransferListDestination(ftp));
}

TEST(TransferDestination, ListOfAnotherDestinationIsEmpty) {
    vistrel::testing::TempDir dir;
    const auto file = dir / "transfer.lst";
    TConnectionSettings first;
    first.host = "example.org";
    first.user = "anna";
    vistrel::testing::WriteBytes(file, TransferListDestination(first) + "\r\n/web/\r\n/a/x.jpg\t1\tAB\r\n");
    TTransferList same;
    same.Open(file, TransferListDestination(first), "/web/", false);
    EXPECT_EQ(same.Old().size(), 1u);
    TConnectionSettings second = first;
    second.protocol = TRemoteProtocol::Sftp;
    TTransferList other;
    other.Open(file, TransferListDestination(second), "/web/", false);
    EXPECT_TRUE(other.Old().empty());
    // A list of earlier versions names the bare host: its files are sent once more.
    vistrel::testing::WriteBytes(file, "example.org\r\n/web/\r\n/a/x.jpg\t1\tAB\r\n");
    TTransferList old;
    old.Open(file, TransferListDestination(first), "/web/", false);
    EXPECT_TRUE(old.Old().empty());
}

} // namespace
