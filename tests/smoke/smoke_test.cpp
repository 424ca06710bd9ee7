#include <gtest/gtest.h>
#include <boost/filesystem.hpp>
#include <boost/iostreams/filter/bzip2.hpp>
#include <boost/iostreams/filtering_stream.hpp>
#include <boost/iostreams/device/back_inserter.hpp>
#include <boost/crc.hpp>
#include <sstream>
TEST(Smoke, Bzip2RoundTrip) {
  std::string out;
  {
    boost::iostreams::filtering_ostream os;
    os.push(boost::iostreams::bzip2_compressor());
    os.push(boost::iostreams::back_inserter(out));
    os << "hello";
  }
  EXPECT_EQ(out.substr(0, 3), "BZh");
  EXPECT_TRUE(boost::filesystem::exists(boost::filesystem::current_path()));
}
