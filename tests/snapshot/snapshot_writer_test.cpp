#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <filesystem>

#include "FileSizeLimit.hpp"
#include "TempFolder.hpp"
#include "sources/SnapshotWriter.hpp"
#include "support/TablorError.hpp"

using namespace tablor;
using tablor::testing::TempFolder;

namespace {

cMetaData SampleSchema() {
    cMetaData schema;
    schema.Constraints().Add("PK_Orders");
    schema.Constraints().Add("FK_Orders_Customers");
    schema.Views().Add("OpenOrders");
    schema.Routines().Add("GetOrders", 2);
    schema.Routines().Add("OrderTotal", 1);
    auto customers = schema.Tables().Add("Customers");
    customers->Fields().Add("CustomerID", "int", "");
    customers->Fields().Add("Name", "nvarchar", "100");
    auto orders = schema.Tables().Add("Orders");
    orders->Fields().Add("OrderID", "int", "");
    orders->Fields().Add("CustomerID", "int", "");
    schema.Tables().Add("OpenOrders")->Fields().Add("OrderID", "int", "");
    return schema;
}

const SnapshotHeader kHeader{"SRV01", "Sales", "appuser"};

std::string RefusalOf(const SnapshotHeader& header, const cMetaData& schema) {
    try {
        FormatSnapshot(header, schema);
    } catch (const TablorError& error) {
        EXPECT_EQ(error.Number(), errors::InvalidName);
        return error.Description();
    }
    return "";
}

}  // namespace

TEST(SnapshotWriter, WritesTheFormatByteForByte) {
    EXPECT_EQ(FormatSnapshot(kHeader, SampleSchema()),
              "SRV01*Sales*appuser*\r\n"
              "PK_Orders*FK_Orders_Customers*\r\n"
              "OpenOrders*\r\n"
              "GetOrders+*OrderTotal-*\r\n"
              ":Customers\r\n"
              "CustomerID*int*\r\n"
              "Name*nvarchar*100\r\n"
              ":Orders\r\n"
              "OrderID*int*\r\n"
              "CustomerID*int*\r\n"
              ":OpenOrders\r\n"
              "OrderID*int*\r\n");
}

TEST(SnapshotWriter, EmptySchemaGivesFourLinesAndOddKindsAreFunctions) {
    EXPECT_EQ(FormatSnapshot({"", "", ""}, cMetaData{}), "***\r\n\r\n\r\n\r\n");

    cMetaData schema;
    schema.Routines().Add("unknown", 0);
    schema.Tables().Add("Empty");
    schema.Tables().Add("Next");
    EXPECT_EQ(FormatSnapshot(kHeader, schema),
              "SRV01*Sales*appuser*\r\n\r\n\r\nunknown-*\r\n:Empty\r\n:Next\r\n");
}

TEST(SnapshotWriter, RefusesNamesTheFormatCannotHoldAndNamesTheObject) {
    {
        cMetaData schema;
        schema.Tables().Add("Orders")->Fields().Add("a*b", "int", "");
        const std::string message = RefusalOf(kHeader, schema);
        EXPECT_NE(message.find("\"a*b\""), std::string::npos) << message;
        EXPECT_NE(message.find("\"Orders\""), std::string::npos) << message;
    }
    {
        cMetaData schema;
        schema.Tables().Add("Orders")->Fields().Add(":colon", "int", "");
        EXPECT_NE(RefusalOf(kHeader, schema).find("\":colon\""), std::string::npos);
    }
    {
        cMetaData schema;
        schema.Views().Add("v*1");
        EXPECT_NE(RefusalOf(kHeader, schema).find("view \"v*1\""), std::string::npos);
    }
    {
        cMetaData schema;
        schema.Constraints().Add("c\n1");
        EXPECT_NE(RefusalOf(kHeader, schema).find("line break"), std::string::npos);
    }
    // Each character that ends a field or a line, in every kind of value; a table line holds the
    // rest of the line, so only a line break harms a table name.
    using Place = void (*)(SnapshotHeader&, cMetaData&, const std::string&);
    const Place places[] = {
        [](SnapshotHeader& h, cMetaData&, const std::string& v) { h.ServerName = v; },
        [](SnapshotHeader& h, cMetaData&, const std::string& v) { h.DatabaseName = v; },
        [](SnapshotHeader& h, cMetaData&, const std::string& v) { h.UserName = v; },
        [](SnapshotHeader&, cMetaData& m, const std::string& v) { m.Constraints().Add(v); },
        [](SnapshotHeader&, cMetaData& m, const std::string& v) { m.Views().Add(v); },
        [](SnapshotHeader&, cMetaData& m, const std::string& v) { m.Routines().Add(v, 1); },
        [](SnapshotHeader&, cMetaData& m, const std::string& v) {
            m.Tables().Add("T")->Fields().Add(v, "int", "");
        },
        [](SnapshotHeader&, cMetaData& m, const std::string& v) {
            m.Tables().Add("T")->Fields().Add("c", v, "");
        },
        [](SnapshotHeader&, cMetaData& m, const std::string& v) {
            m.Tables().Add("T")->Fields().Add("c", "int", v);
        },
    };
    for (const std::string bad : {"*", "\r", "\n"}) {
        for (std::size_t i = 0; i < std::size(places); ++i) {
            SnapshotHeader header = kHeader;
            cMetaData schema;
            places[i](header, schema, "a" + bad + "b");
            EXPECT_FALSE(RefusalOf(header, schema).empty()) << "value " << i << ", character " << int{bad[0]};
        }
        cMetaData schema;
        schema.Tables().Add("a" + bad + "b");
        EXPECT_EQ(RefusalOf(kHeader, schema).empty(), bad == "*") << int{bad[0]};
    }
    {
        cMetaData schema;
        schema.Tables().Add("Orders")->Fields().Add("Amount", "decimal", "10*2");
        EXPECT_NE(RefusalOf(kHeader, schema).find("size \"10*2\""), std::string::npos);
    }

    // A table name may hold "*" and start with ":": its line is read to the end as the name.
    cMetaData fine;
    fine.Tables().Add(":odd*name");
    EXPECT_EQ(FormatSnapshot(kHeader, fine), "SRV01*Sales*appuser*\r\n\r\n\r\n\r\n::odd*name\r\n");
}

TEST(SnapshotWriter, RefusedSchemaLeavesTheOldFileAlone) {
    TempFolder folder;
    const std::string path = folder.Write("keep.snp", "old content");
    cMetaData schema;
    schema.Views().Add("bad*name");
    EXPECT_THROW(WriteSnapshot(path, kHeader, schema), TablorError);
    EXPECT_EQ(TempFolder::Read(path), "old content");
}

TEST(SnapshotWriter, ReplacesAWholeFileAndReportsFailures) {
    TempFolder folder;
    const std::string path = folder.Write("sales.snp", std::string(10000, 'x'));
    WriteSnapshot(path, kHeader, cMetaData{});
    EXPECT_EQ(TempFolder::Read(path), "SRV01*Sales*appuser*\r\n\r\n\r\n\r\n");

    // A missing folder is reported, not passed over in silence.
    try {
        WriteSnapshot(folder.File("no/such/folder/x.snp"), kHeader, cMetaData{});
        FAIL() << "a write into a missing folder must fail";
    } catch (const TablorError& error) {
        EXPECT_EQ(error.Number(), errors::PathNotFound);
        EXPECT_NE(error.Description().find("no/such/folder/x.snp"), std::string::npos);
    }
    const std::string notAFolder = folder.Write("plain.txt", "");
    EXPECT_THROW(WriteSnapshot(notAFolder + "/x.snp", kHeader, cMetaData{}), TablorError);
}

TEST(SnapshotWriter, AFailedWriteKeepsTheOldFileWholeAndLeavesNoTemporaryFile) {
    TempFolder folder;
    const std::string path = folder.Write("sales.snp", "old content");
    cMetaData large;
    for (int i = 0; i < 2000; ++i)
        large.Tables().Add("table_" + std::to_string(i))->Fields().Add("id", "int", "");

    {
        const tablor::testing::FileSizeLimit fullDisk(1024);  // the write fails half-way
        EXPECT_THROW(WriteSnapshot(path, kHeader, large), TablorError);
    }

    EXPECT_EQ(TempFolder::Read(path), "old content");
    long files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder.Path())) ++files;
    EXPECT_EQ(files, 1);
}

TEST(SnapshotWriter, FullDiskIsReportedAsSuch) {
    try {
        WriteSnapshot("/dev/full", kHeader, SampleSchema());
        FAIL() << "writing to a full disk must fail";
    } catch (const TablorError& error) {
        EXPECT_EQ(error.Number(), errors::DiskFull);
    }
    struct stat info {};
    ASSERT_EQ(::stat("/dev/full", &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode));  // the device itself was not replaced
}
