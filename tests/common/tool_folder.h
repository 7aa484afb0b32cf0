// A fresh folder under /tmp for tests that run the tsk tool on files: write and read files in it, list it,
// and run tsk there with its standard output and error captured. The folder goes when the test ends.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace md::test {

struct ToolResult {
    int status = -1;
    std::string out, err;
};

class ToolFolder : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/tsk-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

    std::string path(const std::string& name) const { return dir_ + "/" + name; }
    void write(const std::string& name, const std::string& contents) const {
        std::ofstream(path(name), std::ios::binary) << contents;
    }
    std::string read(const std::string& name) const {
        std::ifstream in(path(name), std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    bool exists(const std::string& name) const {
        struct stat info {};
        return ::stat(path(name).c_str(), &info) == 0;
    }
    // The names in the folder, sorted, hidden ones included.
    std::vector<std::string> files() const {
        std::vector<std::string> names;
        if (DIR* d = opendir(dir_.c_str())) {
            while (dirent* e = readdir(d))
                if (std::string(e->d_name) != "." && std::string(e->d_name) != "..")
                    names.push_back(e->d_name);
            closedir(d);
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    // Runs `tool arguments` in the folder; `prefix` runs before it in the same shell (for ulimit).
    ToolResult run(const std::string& tool, const std::string& arguments,
                   const std::string& prefix = "") const {
        const std::string command = "cd '" + dir_ + "' && " + prefix + "'" + tool + "' " + arguments + " >'" +
                                    dir_ + "/.out' 2>'" + dir_ + "/.err'";
        const int raw = std::system(command.c_str());
        ToolResult r;
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = read(".out");
        r.err = read(".err");
        ::unlink(path(".out").c_str());
        ::unlink(path(".err").c_str());
        return r;
    }

    std::string dir_;
};

} // namespace md::test
