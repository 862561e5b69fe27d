// "Input From File" through its descriptor: tag properties, open errors, reading,
// seeking and standard input.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <map>

#include "fake_decoder.h"
#include "sonvox/engine/sv_errors.h"
#include "sonvox/modules/input_file/sv_file_input.h"
#include "temp_dir.h"

namespace {

struct FileInput
{
    sv_input_module m{};
    sv_module_entry entry{};
    FileInput()
    {
        EXPECT_EQ(sv_file_input_register(&m), 0);
        entry.id = 0;
        entry.kind = SV_KIND_INPUT;
    }
};

// A 128-byte ID3v1 tag; fields are padded with `pad`.
std::string id3v1(const std::string &title, const std::string &artist, const std::string &album,
                  const std::string &year, const std::string &comment, unsigned char genre, char pad = '\0')
{
    std::string tag = "TAG";
    auto field = [&](const std::string &text, size_t width) {
        std::string f = text.substr(0, width);
        f.resize(width, pad);
        tag += f;
    };
    field(title, 30);
    field(artist, 30);
    field(album, 30);
    field(year, 4);
    field(comment, 30);
    tag.push_back(static_cast<char>(genre));
    return tag;
}

std::map<std::string, std::string> id3_properties(const FakeDecoder &fd)
{
    std::map<std::string, std::string> found;
    for (const char *name : {"id3/title", "id3/artist", "id3/album", "id3/year", "id3/comment", "id3/genre"})
        if (fd.property(name) != "<none>")
            found[name] = fd.property(name);
    return found;
}

TEST(FileInput, Id3v1TagBecomesStreamProperties)
{
    const std::string audio(1000, '\x55');
    const std::string full = id3v1("Morning Bell", "School Band", "Daily", "2009", "assembly", 67);
    struct Case
    {
        const char *what;
        std::string file_name;
        std::string contents;
        std::map<std::string, std::string> expected;
    } cases[] = {
        {"lower-case .mp3 with a tag",
         "bell.mp3",
         audio + full,
         {{"id3/title", "Morning Bell"},
          {"id3/artist", "School Band"},
          {"id3/album", "Daily"},
          {"id3/year", "2009"},
          {"id3/comment", "assembly"},
          {"id3/genre", "Psychadelic"}}},
        {"upper-case .MP3 is not read", "bell.MP3", audio + full, {}},
        {"genre byte 255 gives no genre",
         "g.mp3",
         audio + id3v1("T", "A", "B", "1999", "C", 255),
         {{"id3/title", "T"}, {"id3/artist", "A"}, {"id3/album", "B"}, {"id3/year", "1999"}, {"id3/comment", "C"}}},
        {"genre byte 80 is past the list",
         "g80.mp3",
         audio + id3v1("T", "", "", "", "", 80),
         {{"id3/title", "T"}, {"id3/artist", ""}, {"id3/album", ""}, {"id3/year", ""}, {"id3/comment", ""}}},
        {"space-padded fields are trimmed",
         "sp.mp3",
         audio + id3v1("", "Band  ", "", "", "", 0, ' '),
         {{"id3/title", ""},
          {"id3/artist", "Band"},
          {"id3/album", ""},
          {"id3/year", ""},
          {"id3/comment", ""},
          {"id3/genre", "Blues"}}},
        {"GBK text becomes UTF-8, Latin-1 too, UTF-8 stays",
         "zh.mp3",
         audio + id3v1("\xc9\xcf\xbf\xce\xc1\xe5", "Caf\xe9", "\xe4\xb8\x8a", "", "", 12),
         {{"id3/title", "\xe4\xb8\x8a\xe8\xaf\xbe\xe9\x93\x83"},
          {"id3/artist", "Caf\xc3\xa9"},
          {"id3/album", "\xe4\xb8\x8a"},
          {"id3/year", ""},
          {"id3/comment", ""},
          {"id3/genre", "Other"}}},
        {"no TAG marker", "none.mp3", audio + std::string(128, 'x'), {}},
        {"shorter than a tag", "tiny.mp3", "TAG", {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        write_file(dir.file(c.file_name), c.contents);
        FileInput in;
        FakeDecoder fd;
        void *inst = nullptr;
        ASSERT_EQ(in.m.create(&inst, dir.file(c.file_name).c_str(), &in.entry, fd.get()), 0);
        ASSERT_EQ(in.m.open(inst), 0);
        EXPECT_EQ(id3_properties(fd), c.expected);
        EXPECT_EQ((fd.stream().changed & SV_STREAM_PROPERTIES_CHANGED) != 0, !c.expected.empty());
        // Reading starts at the beginning of the file whether a tag was read or not.
        char first[3] = {};
        ASSERT_EQ(in.m.read(inst, first, 3), 3);
        EXPECT_EQ(std::string(first, 3), c.contents.substr(0, 3));
        in.m.close(inst);
        in.m.destroy(inst);
    }
}

TEST(FileInput, GenreListEnds)
{
    EXPECT_STREQ(sv_id3v1_genre(0), "Blues");
    EXPECT_STREQ(sv_id3v1_genre(40), "AlternRock");
    EXPECT_STREQ(sv_id3v1_genre(62), "Pop/Funk");
    EXPECT_STREQ(sv_id3v1_genre(71), "Lo-Fi");
    EXPECT_STREQ(sv_id3v1_genre(79), "Hard Rock");
    EXPECT_EQ(sv_id3v1_genre(80), nullptr);
    EXPECT_EQ(sv_id3v1_genre(-1), nullptr);
}

TEST(FileInput, OpenErrorsAreReported)
{
    TempDir dir;
    write_file(dir.file("locked.mp3"), "data");
    chmod(dir.file("locked.mp3").c_str(), 0);
    struct Case
    {
        const char *what;
        std::string name;
        int expected;
        const char *detail;
        bool needs_permissions;
    } cases[] = {
        {"missing file", dir.file("missing.mp3"), SV_ERR_NO_SUCH_FILE, "file not found", false},
        {"a folder", dir.path(), SV_ERR_OPEN_FAILED, "Is a directory", false},
        {"unreadable file", dir.file("locked.mp3"), SV_ERR_PERMISSION_DENIED, "permission denied", true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        if (c.needs_permissions && geteuid() == 0)
            continue; // root reads any file: the case cannot happen
        FileInput in;
        FakeDecoder fd;
        void *inst = nullptr;
        ASSERT_EQ(in.m.create(&inst, c.name.c_str(), &in.entry, fd.get()), 0);
        EXPECT_EQ(in.m.open(inst), c.expected);
        ASSERT_FALSE(fd.reports.empty());
        EXPECT_EQ(fd.reports.back().text, "cannot open input file");
        EXPECT_EQ(fd.reports.back().detail, c.detail);
        // A failed open leaves nothing to read; close and delete stay safe.
        char b;
        EXPECT_LT(in.m.read(inst, &b, 1), 0);
        EXPECT_EQ(in.m.close(inst), 0);
        EXPECT_EQ(in.m.destroy(inst), 0);
    }

    FileInput in;
    FakeDecoder fd;
    void *inst = nullptr;
    EXPECT_EQ(in.m.create(&inst, "", &in.entry, fd.get()), SV_ERR_INVALID_PARAMETERS);
    ASSERT_EQ(fd.reports.size(), 1u);
    EXPECT_EQ(fd.reports[0].text, "internal error");
    EXPECT_EQ(fd.reports[0].detail, "null params or null/empty input name");
}

TEST(FileInput, ReadsExactBlocksSeeksAndEndsAtAShortRest)
{
    TempDir dir;
    std::string data;
    for (int i = 0; i < 1000; i++)
        data.push_back(static_cast<char>(i * 7));
    write_file(dir.file("a.wav"), data);
    FileInput in;
    FakeDecoder fd;
    void *inst = nullptr;
    ASSERT_EQ(in.m.create(&inst, dir.file("a.wav").c_str(), &in.entry, fd.get()), 0);
    ASSERT_EQ(in.m.open(inst), 0);
    EXPECT_EQ(in.m.get_capabilities(inst), SV_INPUT_CAP_SEEKABLE);
    EXPECT_EQ(in.m.get_size(inst), 1000);

    char buf[600];
    ASSERT_EQ(in.m.read(inst, buf, 600), 600);
    EXPECT_EQ(std::string(buf, 600), data.substr(0, 600));
    EXPECT_EQ(in.m.read(inst, buf, 600), 0) << "400 bytes left: the stream ends";

    ASSERT_EQ(in.m.seek(inst, 990), 0);
    ASSERT_EQ(in.m.read(inst, buf, 10), 10);
    EXPECT_EQ(std::string(buf, 10), data.substr(990));
    EXPECT_EQ(in.m.seek(inst, -5), SV_ERR_INVALID_PARAMETERS);

    // The file shrinks while it is read: a read past the new end ends the stream.
    ASSERT_EQ(truncate(dir.file("a.wav").c_str(), 150), 0);
    ASSERT_EQ(in.m.seek(inst, 100), 0);
    EXPECT_EQ(in.m.read(inst, buf, 600), 0);
    EXPECT_EQ(in.m.get_size(inst), 150);
    in.m.close(inst);
    in.m.destroy(inst);
}

TEST(FileInput, StandardInputIsReadToItsEndAndLeftOpen)
{
    int pipe_fds[2];
    ASSERT_EQ(pipe(pipe_fds), 0);
    int saved_stdin = dup(STDIN_FILENO);
    ASSERT_GE(saved_stdin, 0);
    ASSERT_EQ(dup2(pipe_fds[0], STDIN_FILENO), STDIN_FILENO);
    close(pipe_fds[0]);
    clearerr(stdin);
    // The writer closes early, after 10 bytes.
    ASSERT_EQ(write(pipe_fds[1], "0123456789", 10), 10);
    close(pipe_fds[1]);

    FileInput in;
    FakeDecoder fd;
    void *inst = nullptr;
    ASSERT_EQ(in.m.create(&inst, "-", &in.entry, fd.get()), 0);
    ASSERT_EQ(in.m.open(inst), 0);
    EXPECT_EQ(in.m.get_capabilities(inst), 0);
    EXPECT_EQ(in.m.get_size(inst), 0);
    EXPECT_EQ(in.m.seek(inst, 0), SV_ERR_READ_FAILED); // standard input cannot seek
    char buf[8];
    ASSERT_EQ(in.m.read(inst, buf, 8), 8);
    EXPECT_EQ(std::string(buf, 8), "01234567");
    EXPECT_EQ(in.m.read(inst, buf, 8), 0) << "standard input closed after 2 more bytes";
    in.m.close(inst);
    in.m.destroy(inst);
    EXPECT_NE(fcntl(STDIN_FILENO, F_GETFD), -1) << "standard input stays open";

    dup2(saved_stdin, STDIN_FILENO);
    close(saved_stdin);
    clearerr(stdin);
}

TEST(FileInput, Info)
{
    FileInput in;
    sv_module_info info{};
    ASSERT_EQ(in.m.info(&info, SV_INFO_NAME | SV_INFO_DEVICE_COUNT), 0);
    EXPECT_STREQ(info.name, "Input From File");
    EXPECT_STREQ(info.description, "Version 1.2");
    EXPECT_EQ(info.count, 2);
    struct
    {
        int index;
        int result;
        const char *name;
        int flags;
    } devices[] = {{0, 0, "any file name", 1}, {1, 0, "standard input", 0}, {2, SV_ERR_INVALID_PARAMETERS, "", 0}};
    for (const auto &d : devices) {
        SCOPED_TRACE(d.index);
        sv_module_info dev{};
        dev.count = d.index;
        ASSERT_EQ(in.m.info(&dev, SV_INFO_DEVICE), d.result);
        if (d.result == 0) {
            EXPECT_STREQ(dev.name, d.name);
            EXPECT_EQ(dev.flags, d.flags);
        }
    }
    EXPECT_EQ(in.m.probe("http://example.org/x.mp3"), 0) << "the file module accepts every name";
}

} // namespace
