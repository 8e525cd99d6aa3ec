#include "common/record_file.hpp"

#include <gtest/gtest.h>

#include "common/direct_file.hpp"
#include "common/run_stop.hpp"
#include "tests/test_support.hpp"

namespace orv {
namespace {

TEST(RecordFile, BigEndianFramesAndStepBack) {
    test::ScratchDir dir;
    test::TestConsole console;
    RecordWriter w;
    ASSERT_TRUE(w.open("rec.bin", "tester", console.out));
    RecordBuilder r;
    r.put_chars("AB", 4);
    r.put_i32(-2);
    r.put_f32(1.0f);
    w.write(r);
    r.clear();
    r.put_i32(7);
    w.write(r);
    w.close();

    std::string bytes = test::read_file("rec.bin");
    ASSERT_EQ(bytes.size(), 4u + 12u + 4u + 4u + 4u + 4u);
    EXPECT_EQ(bytes.substr(0, 4), std::string("\0\0\0\x0c", 4));
    EXPECT_EQ(bytes.substr(4, 4), "AB  ");
    EXPECT_EQ(bytes.substr(8, 4), "\xff\xff\xff\xfe");
    EXPECT_EQ(bytes.substr(12, 4), std::string("\x3f\x80\0\0", 4));

    RecordReader in;
    ASSERT_TRUE(in.open("rec.bin"));
    std::vector<uint8_t> data;
    ASSERT_TRUE(in.read(data));
    RecordCursor c(data);
    EXPECT_EQ(c.get_chars(4), "AB  ");
    EXPECT_EQ(c.get_i32(), -2);
    EXPECT_EQ(c.get_f32(), 1.0f);
    EXPECT_THROW(c.get_i32(), InputError);
    ASSERT_TRUE(in.read(data));
    in.step_back();
    ASSERT_TRUE(in.read(data));
    EXPECT_EQ(RecordCursor(data).get_i32(), 7);
    EXPECT_FALSE(in.read(data));
}

TEST(RecordFile, DamagedFramesAreErrors) {
    test::ScratchDir dir;
    test::write_file("short.bin", std::string("\0\0\0\x08" "abc", 7));
    RecordReader in;
    ASSERT_TRUE(in.open("short.bin"));
    std::vector<uint8_t> data;
    EXPECT_THROW(in.read(data), InputError);
    test::write_file("bad.bin", std::string("\0\0\0\x02" "ab" "\0\0\0\x03", 10));
    ASSERT_TRUE(in.open("bad.bin"));
    EXPECT_THROW(in.read(data), InputError);
}

TEST(DirectFile, FixedRecordsAndTruncation) {
    test::ScratchDir dir;
    test::write_file("d.bin", "aaaabbbbcc");
    DirectFile f;
    ASSERT_TRUE(f.open("d.bin", 4));
    EXPECT_EQ(f.record_count(), 2);
    char buf[4];
    ASSERT_TRUE(f.read(2, buf));
    EXPECT_EQ(std::string(buf, 4), "bbbb");
    EXPECT_FALSE(f.read(3, buf));
    EXPECT_FALSE(f.read(0, buf));
    EXPECT_FALSE(f.open("missing.bin", 4));
}

}  // namespace
}  // namespace orv
