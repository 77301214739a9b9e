#include "core/crypto.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "core/log.h"
#include "support/work_folder.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kHeader = 24;
constexpr size_t kExtra = 17;  // tag byte + MAC per chunk

using CryptoTest = LoggedTest;

std::string lf_pattern(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 131 + i / 7) & 0xff);
    return s;
}

TEST_F(CryptoTest, RoundTripsAtChunkEdges) {
    for (auto [plainBytes, chunks] : {std::pair<size_t, size_t>{0, 1}, {4095, 1}, {4096, 1}, {4097, 2}, {100000, 25}}) {
        SCOPED_TRACE(plainBytes);
        const std::string plain = lf_pattern(plainBytes);
        tst_writeFile("plain.xml", plain);
        gf_streamEncrypt("plain.xml", "data.enc");
        const std::string enc = tst_readFile("data.enc");
        EXPECT_EQ(enc.size(), kHeader + plainBytes + chunks * kExtra);
        if (plain.size() >= 64) EXPECT_EQ(enc.find(plain.substr(0, 64)), std::string::npos);
        tst_writeFile("out.xml", std::string(10000, 'x'));  // an older, longer plain file is replaced
        ASSERT_TRUE(gf_streamDecrypt("data.enc", "out.xml"));
        EXPECT_EQ(tst_readFile("out.xml"), plain);
    }
    EXPECT_EQ(gf_capturedLog(), "");
    // A new header (nonce) per stream: the same plain text never gives the same bytes.
    EXPECT_NE(gf_encryptBytes("same"), gf_encryptBytes("same"));
}

// A cut or flipped stream fails with the reason and where.
TEST_F(CryptoTest, DamagedStreamsFailWithTheirReason) {
    const std::string enc = gf_encryptBytes(lf_pattern(5000)), oneChunk = gf_encryptBytes(lf_pattern(4096));
    std::string flipped = enc;
    flipped[kHeader + 4096 + kExtra + 10] ^= 0x01;
    const struct {
        std::string bytes;
        const char* what;
    } rows[] = {
        {enc.substr(0, kHeader - 1), "truncated header"},
        {enc.substr(0, kHeader), "stream ends without the final chunk"},
        {enc.substr(0, kHeader + 4096 + kExtra + 16), "truncated chunk at offset 4137"},
        {enc.substr(0, kHeader + 100), "corrupted chunk at offset 24"},
        {flipped, "corrupted chunk at offset 4137"},
        {enc + "x", "corrupted chunk at offset 4137"},  // a short final chunk swallows what follows
        {oneChunk + "x", "data after the final chunk at offset 4137"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        try {
            gf_decryptBytes(row.bytes);
            ADD_FAILURE() << "decrypted";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), row.what);
        }
    }
    EXPECT_EQ(gf_decryptBytes(enc), lf_pattern(5000));
}

// A failed decryption leaves no plain file behind, not even an older one.
TEST_F(CryptoTest, FailedStreamsLogAndLeaveNoPlainFile) {
    std::string enc = gf_encryptBytes("<airports/>");
    enc[30] ^= 0x04;
    tst_writeFile("data.enc", enc);
    tst_writeFile("out.xml", "stale plain file");
    EXPECT_FALSE(gf_streamDecrypt("data.enc", "out.xml"));
    EXPECT_FALSE(fs::exists("out.xml"));
    tst_writeFile("out.xml", "stale plain file");
    EXPECT_FALSE(gf_streamDecrypt("missing.enc", "out.xml"));
    EXPECT_FALSE(fs::exists("out.xml"));
    EXPECT_THROW(gf_streamEncrypt("missing.xml", "x.enc"), std::runtime_error);
    EXPECT_FALSE(fs::exists("x.enc"));
    tst_writeFile("data.enc", gf_encryptBytes("abc"));
    EXPECT_FALSE(gf_streamDecrypt("data.enc", "no/such/folder/out.xml"));
    EXPECT_EQ(gf_capturedLog(),
              "gf_streamDecrypt exception: corrupted chunk at offset 24\n"
              "gf_streamDecrypt exception: cannot open missing.enc\n"
              "gf_streamDecrypt exception: cannot write no/such/folder/out.xml\n");
}

}  // namespace
