// The log line for every libcurl result.
#include <gtest/gtest.h>

#include <string>

#include "HttpTestSupport.h"

namespace http_test {
namespace {

struct ErrorLine {
  int code;
  const char* line;
};

void PrintTo(const ErrorLine& c, std::ostream* out) { *out << c.code; }

class FigureErrorTest : public ::testing::TestWithParam<ErrorLine> {
 protected:
  LogRecorder log_;
};

TEST_P(FigureErrorTest, LogsTheLineOfTheCode) {
  EXPECT_EQ(CLibcurlTool::figureError(static_cast<CURLcode>(GetParam().code)), 1);
  EXPECT_EQ(log_.Lines(), std::vector<std::string>{GetParam().line});
}

INSTANTIATE_TEST_SUITE_P(
    Codes, FigureErrorTest,
    ::testing::Values(ErrorLine{1, " ProtoControl Unsupport!"}, ErrorLine{2, " Init Failed!"},
                      ErrorLine{3, " Curl RemotePath Error"},
                      ErrorLine{4, " libcurl InitFailed，Please Try again!"},
                      ErrorLine{5, " Cannt resovlve proxy!"},
                      ErrorLine{6, " cannt resovlve server!"},
                      ErrorLine{7, " Curl Connect Server Error"},
                      ErrorLine{8, " FTP服务器非法回复"}, ErrorLine{9, " Acess Denied!"},
                      ErrorLine{10, " FTP连接失败"}, ErrorLine{11, " FTP服务器未知回复"},
                      ErrorLine{12, " FTP连接超时"}, ErrorLine{13, " Curl unknow error!"},
                      ErrorLine{14, " Curl unknow error!"}, ErrorLine{15, " 内部故障"},
                      ErrorLine{16, " HTTP2错误"}, ErrorLine{17, " FTP获取传输类型失败"},
                      ErrorLine{18, " 服务器返回文件大小非法"}, ErrorLine{22, " HTTP请求错误"},
                      ErrorLine{23, " 接收数据错误"}, ErrorLine{25, " 上传数据错误"},
                      ErrorLine{26, " 本地文件读取错误"}, ErrorLine{27, " 内存不足"},
                      ErrorLine{28, " Curl Time out"}, ErrorLine{30, " FTP端口失败"},
                      ErrorLine{33, " 请求的数据范围错误"}, ErrorLine{0, " Curl Else Error: 0"},
                      ErrorLine{19, " Curl Else Error: 19"}, ErrorLine{20, " Curl Else Error: 20"},
                      ErrorLine{21, " Curl Else Error: 21"}, ErrorLine{24, " Curl Else Error: 24"},
                      ErrorLine{29, " Curl Else Error: 29"}, ErrorLine{31, " Curl Else Error: 31"},
                      ErrorLine{32, " Curl Else Error: 32"}, ErrorLine{34, " Curl Else Error: 34"},
                      ErrorLine{60, " Curl Else Error: 60"}, ErrorLine{99, " Curl Else Error: 99"}),
    [](const ::testing::TestParamInfo<ErrorLine>& info) {
      return "Code" + std::to_string(info.param.code);
    });

}  // namespace
}  // namespace http_test
