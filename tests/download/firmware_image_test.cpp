// Reading the image in blocks: counts, filler, and files that are missing, folders or shrink.
#include <gtest/gtest.h>

#include <filesystem>

#include "firmware_image.h"
#include "temp_image.h"

namespace {

TEST(ImageFile, BlocksAndFillerForEdgeSizes) {
    for (std::size_t size : {0u, 1u, 1023u, 1024u, 1025u, 2048u, 2500u}) {
        CTempImage image(size);
        CImageFile file;
        std::string error;
        ASSERT_TRUE(file.Open(image.path, &error)) << error;
        std::vector<std::uint8_t> sent;
        std::uint8_t block[1024];
        int blocks = 0;
        while (!file.IsExhausted()) {
            ASSERT_GE(file.ReadBlock(block), 0);
            sent.insert(sent.end(), block, block + 1024);
            ++blocks;
        }
        EXPECT_EQ(blocks, static_cast<int>((size + 1023) / 1024)) << size;
        EXPECT_EQ(sent, image.Flashed()) << size;
    }
}

TEST(ImageFile, MissingFileAndFolderAreRefusedWithAReason) {
    std::string error;
    EXPECT_EQ(CImageFile::Measure("/nonexistent/dir/image.bin", &error), -1);
    EXPECT_NE(error.find("No such file"), std::string::npos) << error;
    CImageFile file;
    EXPECT_FALSE(file.Open(std::filesystem::temp_directory_path().string(), &error));
    EXPECT_NE(error.find("folder"), std::string::npos) << error;
    EXPECT_FALSE(file.IsOpen());
}

TEST(ImageFile, ShrinkingFileEndsWithAnErrorNotWithFiller) {
    CTempImage image(64 * 1024);
    CImageFile file;
    std::string error;
    ASSERT_TRUE(file.Open(image.path, &error));
    std::uint8_t block[1024];
    ASSERT_EQ(file.ReadBlock(block), 1024);
    std::filesystem::resize_file(image.path, 1500);
    int result = 0;
    int blocks = 1;
    while (!file.IsExhausted() && (result = file.ReadBlock(block)) > 0) {
        ++blocks;  // what the stream had already buffered
    }
    EXPECT_EQ(result, -1);
    EXPECT_LT(blocks, 64);
}

TEST(ImageFile, GrowingFileSendsOnlyWhatWasMeasured) {
    CTempImage image(1500);
    CImageFile file;
    std::string error;
    ASSERT_TRUE(file.Open(image.path, &error));
    std::filesystem::resize_file(image.path, 5000);
    std::uint8_t block[1024];
    EXPECT_EQ(file.ReadBlock(block), 1024);
    EXPECT_EQ(file.ReadBlock(block), 476);
    EXPECT_TRUE(file.IsExhausted());
}

TEST(ImageFile, ReadingAClosedStreamIsRefused) {
    CImageFile file;
    std::uint8_t block[1024];
    EXPECT_EQ(file.ReadBlock(block), -1);
}

}  // namespace
