#include <gtest/gtest.h>

#include <string>

#include "sonvox/engine/sv_errors.h"

TEST(ErrorText, NamesCodesAndFamilies)
{
    const struct
    {
        int code;
        const char *text;
    } cases[] = {
        {SV_ERR_OUT_OF_MEMORY, "out of memory"},
        {SV_ERR_VERSION_MISMATCH, "version mismatch"},
        {SV_ERR_INVALID_MESSAGE, "invalid message"},
        {SV_ERR_QUEUE_FULL, "circular queue full"},
        {SV_ERR_NO_SUCH_DEVICE_505, "no such device"},
        {SV_ERR_END_OF_STREAM, "end of input stream"},
        {SV_ERR_NO_CODEC, "no codec found for this stream"},
        {SV_ERR_PROPERTY_TYPE, "invalid property or environment variable type"},
        {SV_ERR_NO_SUCH_INTERFACE, "no such interface"},
        {-105, ""}, // unnamed code of a known family
        {-515, ""},
        {-1099, ""},
        {0, ""},
        {5, ""},
        {-1, "unknown error"},
        {-99, "unknown error"},
        {-1100, "unknown error"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(std::string(sv_error_text(c.code)), c.text) << c.code;
}
