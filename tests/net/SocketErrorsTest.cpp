#include "net/SocketErrors.h"
#include "net/TBlockSocket.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <netdb.h>
#include <set>

namespace quillet {
namespace {

TEST(GetErrorDesc, FixedTexts)
{
    const std::pair<int, const char*> rows[] = {
        { 10004, "Interrupted system call" },
        { 10022, "Invalid argument" },
        { 10035, "Operation would block" },
        { 10036, "Operation now in progress" },
        { 10038, "Socket operation on nonsocket" },
        { 10048, "Address already in use" },
        { 10053, "Software caused connection abort" },
        { 10054, "Connection reset by peer" },
        { 10060, "Connection timed out" },
        { 10061, "Connection refused" },
        { 11001, "Host not found" },
    };
    for (const auto& [code, text] : rows)
        EXPECT_EQ(TBlockSocket::GetErrorDesc(code), text) << code;
    EXPECT_EQ(TBlockSocket::GetErrorDesc(0), "");
}

TEST(GetErrorDesc, ExactlyTheListedCodesHaveTextsOfTheirOwn)
{
    std::set<int> listed = { 10004, 10009, 10013, 10014, 10022, 10024, 10091, 10092, 10093, 10101,
        11001, 11002, 11003, 11004 };
    for (int code = 10035; code <= 10071; ++code)
        listed.insert(code);
    ASSERT_EQ(listed.size(), 51u);

    std::set<std::string> texts;
    for (int code = 9990; code <= 11010; ++code) {
        const std::string text = TBlockSocket::GetErrorDesc(code);
        const std::string other = "Other Winsock error (" + std::to_string(code) + ")";
        if (listed.count(code) != 0) {
            EXPECT_NE(text, other) << code;
            EXPECT_FALSE(text.empty()) << code;
            texts.insert(text);
        } else {
            EXPECT_EQ(text, other) << code;
        }
    }
    EXPECT_EQ(texts.size(), 51u) << "every listed code has a text of its own";
    EXPECT_EQ(TBlockSocket::GetErrorDesc(12345), "Other Winsock error (12345)");
    EXPECT_EQ(TBlockSocket::GetErrorDesc(-1), "Other Winsock error (-1)");
}

TEST(SocketErrorFromErrno, MapsOntoWindowsSocketsNumbering)
{
    const std::pair<int, int> rows[] = {
        { 0, 0 },
        { EINTR, 10004 },
        { EACCES, 10013 },
        { EFAULT, 10014 },
        { EINVAL, 10022 },
        { EMFILE, 10024 },
        { EAGAIN, 10035 },
        { EWOULDBLOCK, 10035 },
        { EINPROGRESS, 10036 },
        { EALREADY, 10037 },
        { EBADF, 10038 },
        { ENOTSOCK, 10038 },
        { EMSGSIZE, 10040 },
        { EOPNOTSUPP, 10045 },
        { EAFNOSUPPORT, 10047 },
        { EADDRINUSE, 10048 },
        { EADDRNOTAVAIL, 10049 },
        { ENETDOWN, 10050 },
        { ENETUNREACH, 10051 },
        { ENETRESET, 10052 },
        { ECONNABORTED, 10053 },
        { ECONNRESET, 10054 },
        { EPIPE, 10054 },
        { ENOBUFS, 10055 },
        { EISCONN, 10056 },
        { ENOTCONN, 10057 },
        { ESHUTDOWN, 10058 },
        { ETIMEDOUT, 10060 },
        { ECONNREFUSED, 10061 },
        { EHOSTDOWN, 10064 },
        { EHOSTUNREACH, 10065 },
    };
    for (const auto& [err, code] : rows)
        EXPECT_EQ(SocketErrorFromErrno(err), code) << "errno " << err;
}

TEST(SocketErrorFromErrno, UnmappedErrnoStaysNonzeroAndDistinct)
{
    const int a = SocketErrorFromErrno(EIO);
    const int b = SocketErrorFromErrno(ENOSPC);
    EXPECT_NE(a, 0);
    EXPECT_NE(a, b);
    EXPECT_EQ(TBlockSocket::GetErrorDesc(a), "Other Winsock error (" + std::to_string(a) + ")");
}

TEST(SocketErrorFromResolver, MapsResolverFailures)
{
    EXPECT_EQ(SocketErrorFromResolver(0, 0), 0);
    EXPECT_EQ(SocketErrorFromResolver(EAI_NONAME, 0), 11001);
    EXPECT_EQ(SocketErrorFromResolver(EAI_AGAIN, 0), 11002);
    EXPECT_EQ(SocketErrorFromResolver(EAI_FAIL, 0), 11003);
    EXPECT_EQ(SocketErrorFromResolver(EAI_NODATA, 0), 11004);
    EXPECT_EQ(SocketErrorFromResolver(EAI_SERVICE, 0), 11001);
    EXPECT_EQ(SocketErrorFromResolver(EAI_SYSTEM, ECONNREFUSED), 10061);
    EXPECT_NE(SocketErrorFromResolver(EAI_SYSTEM, 0), 0);
}

} // namespace
} // namespace quillet
