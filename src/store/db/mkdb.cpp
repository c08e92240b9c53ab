// Build tool: makes a database template from a schema file, and a live copy of a template
// when the live file is missing.
//   tallyclock_mkdb <schema.sql> <template.db>
//   tallyclock_mkdb --copy-if-missing <template.db> <live.db>
// Writes under a temporary name and renames, so a failed run never leaves a half-made file.

#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>

namespace fs = std::filesystem;

static int fail(const std::string &message)
{
    std::fprintf(stderr, "tallyclock_mkdb: %s\n", message.c_str());
    return 1;
}

static int makeTemplate(const fs::path &schema, const fs::path &target)
{
    std::ifstream in(schema, std::ios::binary);
    if (!in)
        return fail("cannot read " + schema.string());
    std::stringstream text;
    text << in.rdbuf();

    const fs::path part = target.string() + ".part";
    std::error_code ec;
    fs::remove(part, ec);
    sqlite3 *db = nullptr;
    int rc = sqlite3_open_v2(part.string().c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                             nullptr);
    if (rc == SQLITE_OK) {
        char *error = nullptr;
        rc = sqlite3_exec(db, text.str().c_str(), nullptr, nullptr, &error);
        if (rc != SQLITE_OK) {
            const std::string message = error ? error : sqlite3_errstr(rc);
            sqlite3_free(error);
            sqlite3_close(db);
            fs::remove(part, ec);
            return fail(schema.string() + ": " + message);
        }
    }
    const std::string openError = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    if (sqlite3_close(db) != SQLITE_OK || rc != SQLITE_OK) {
        fs::remove(part, ec);
        return fail("cannot write " + part.string() + ": " + openError);
    }
    fs::rename(part, target, ec);
    if (ec) {
        fs::remove(part, ec);
        return fail("cannot create " + target.string());
    }
    return 0;
}

static int copyIfMissing(const fs::path &source, const fs::path &target)
{
    std::error_code ec;
    if (fs::exists(target, ec))
        return 0;
    const fs::path part = target.string() + ".part";
    fs::remove(part, ec);
    if (!fs::copy_file(source, part, fs::copy_options::overwrite_existing, ec))
        return fail("cannot copy " + source.string() + ": " + ec.message());
    // The template may be installed read-only; its live copy must be writable.
    fs::permissions(part, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add,
                    ec);
    fs::rename(part, target, ec);
    if (ec) {
        fs::remove(part, ec);
        return fail("cannot create " + target.string());
    }
    return 0;
}

int main(int argc, char **argv)
{
    if (argc == 4 && std::string(argv[1]) == "--copy-if-missing")
        return copyIfMissing(argv[2], argv[3]);
    if (argc == 3)
        return makeTemplate(argv[1], argv[2]);
    return fail("usage: tallyclock_mkdb <schema.sql> <template.db> | "
                "--copy-if-missing <template.db> <live.db>");
}
