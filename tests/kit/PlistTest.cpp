#include <gtest/gtest.h>
#include <plist/plist.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <limits>

#include "kit/Plist.h"
#include "kit/SysPath.h"

using kit::Value;

namespace {

Value sampleTree() {
    Value v = Value::dict();
    v["String"] = "Mac <HD> & \"Back'up\" é 日本\nline";
    v["Empty"] = "";
    v["Int"] = int64_t(-42);
    v["Big"] = int64_t(500107862016);
    v["Max"] = std::numeric_limits<int64_t>::max();
    v["Min"] = std::numeric_limits<int64_t>::min();
    v["Huge"] = std::numeric_limits<uint64_t>::max();
    v["Real"] = 0.1;
    v["Yes"] = true;
    v["No"] = false;
    v["Data"] = Value::data(std::string("\0\x01\xff payload", 11));
    v["Date"] = Value::date(700000000.0);
    Value arr = Value::array();
    arr.push("a");
    arr.push(1);
    Value inner = Value::dict();
    inner["Deep"] = Value::array();
    arr.push(inner);
    v["Array"] = arr;
    return v;
}

// The binary form is made by the library itself, from the XML we wrote.
std::string toBinary(const std::string& xml) {
    plist_t node = nullptr;
    plist_from_xml(xml.data(), static_cast<uint32_t>(xml.size()), &node);
    EXPECT_NE(node, nullptr);
    char* bin = nullptr;
    uint32_t len = 0;
    plist_to_bin(node, &bin, &len);
    std::string out(bin, len);
    std::free(bin);
    plist_free(node);
    return out;
}

}  // namespace

TEST(Plist, XmlAndBinaryRoundTripsKeepEveryType) {
    const Value v = sampleTree();
    const std::string xml = kit::toXmlPlist(v);
    ASSERT_NE(xml.find("<plist"), std::string::npos);

    auto back = kit::parsePlist(xml);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, v);

    auto fromBin = kit::parsePlist(toBinary(xml));
    ASSERT_TRUE(fromBin);
    EXPECT_EQ(*fromBin, v);

    // Signed and unsigned extremes keep their sign and their value.
    EXPECT_EQ(back->getInt("Min"), std::numeric_limits<int64_t>::min());
    EXPECT_EQ(back->getInt("Int"), -42);
    EXPECT_EQ(back->getUInt("Huge"), std::numeric_limits<uint64_t>::max());
    EXPECT_FALSE(back->getInt("Huge"));  // does not fit a signed read
    EXPECT_FALSE(back->getUInt("Int"));
    ASSERT_TRUE(back->get("Data"));
    EXPECT_EQ(back->get("Data")->asString(), std::string("\0\x01\xff payload", 11));
}

TEST(Plist, GarbageAndEmptyInputAreNotPropertyLists) {
    EXPECT_FALSE(kit::parsePlist(""));
    EXPECT_FALSE(kit::parsePlist("garbage"));
    EXPECT_FALSE(kit::parsePlist("<plist>"));
    EXPECT_FALSE(kit::parsePlist("<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>a</key>"));
    EXPECT_FALSE(kit::parsePlist(std::string("bplist00\x01\x02\x03", 11)));
    EXPECT_FALSE(kit::parsePlist("Could not find disk: disk9\n"));
    EXPECT_FALSE(kit::readPlistFile("/nonexistent/file.plist"));
}

TEST(Plist, TypedReadsRefuseOtherTypes) {
    Value v = sampleTree();
    EXPECT_FALSE(v.getString("Int"));
    EXPECT_FALSE(v.getInt("String"));
    EXPECT_FALSE(v.getDict("Array"));
    EXPECT_FALSE(v.getArray("Missing"));
    EXPECT_EQ(v.getReal("Int"), -42.0);
    EXPECT_EQ(v.getInt("Real"), 0);  // truncated
    EXPECT_EQ(v.getBool("Yes"), true);
    EXPECT_EQ(v.getBool("Big"), true);
    EXPECT_FALSE(Value("x").get("key"));  // not a dict
    EXPECT_EQ(Value("x").size(), 0u);
    EXPECT_EQ(v.getArray("Array")->size(), 3u);
    EXPECT_FALSE(Value(1e300).asInt());  // out of range, not undefined
}

TEST(Plist, CopiesDoNotShareChanges) {
    Value a = sampleTree();
    Value b = a;
    b["String"] = "changed";
    b["Array"].push("more");
    b.erase("Int");
    EXPECT_EQ(a.getString("String"), sampleTree().getString("String"));
    EXPECT_EQ(a.getArray("Array")->size(), 3u);
    EXPECT_TRUE(a.getInt("Int"));
    EXPECT_EQ(b.getArray("Array")->size(), 4u);
    EXPECT_NE(a, b);

    // A nested value taken out and changed leaves the tree alone.
    Value inner = *a.get("Array");
    inner.push(5);
    EXPECT_EQ(a.getArray("Array")->size(), 3u);

    // Writing through a Null makes the container it needs.
    Value n;
    n.push(1);
    EXPECT_TRUE(n.isArray());
    Value m;
    m.set("k", 2);
    EXPECT_EQ(m.getInt("k"), 2);
}

TEST(Plist, NullMembersAreLeftOutOfTheXml) {
    Value v = Value::dict();
    v["Kept"] = 1;
    v["Dropped"] = Value();
    auto back = kit::parsePlist(kit::toXmlPlist(v));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->size(), 1u);
    EXPECT_EQ(kit::toXmlPlist(Value()), "");
}

TEST(Plist, FilesAreWrittenWholeAndKeepTheirMode) {
    const std::string dir = kit::temporaryDirectory();
    const std::string path = dir + "plist-test.plist";
    ::unlink(path.c_str());
    ASSERT_TRUE(kit::writePlistFile(path, sampleTree()));
    auto read = kit::readPlistFile(path);
    ASSERT_TRUE(read);
    EXPECT_EQ(*read, sampleTree());

    ::chmod(path.c_str(), 0640);
    Value small = Value::dict();
    small["A"] = "b";
    ASSERT_TRUE(kit::writePlistFile(path, small));
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(*kit::readPlistFile(path), small);

    ASSERT_TRUE(kit::writePlistFile(path, sampleTree(), false));
    EXPECT_EQ(*kit::readPlistFile(path), sampleTree());

    EXPECT_FALSE(kit::writePlistFile(dir + "no/such/folder/x.plist", small));
    EXPECT_FALSE(kit::writePlistFile(path + ".null", Value()));
    ::unlink(path.c_str());
}
