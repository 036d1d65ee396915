// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/upgrade/FirmwareReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace parvolink {
namespace {

class DescriptorReader : public FirmwareReader {
public:
    DescriptorReader(int descriptor, std::uint64_t size) : descriptor_(descriptor), size_(size) {}
    ~DescriptorReader() override { ::close(descriptor_); }
    DescriptorReader(const DescriptorReader&) = delete;
    DescriptorReader& operator=(const DescriptorReader&) = delete;

    std::uint64_t size() const override { return size_; }
    std::optional<std::size_t> ReadAt(std::uint64_t offset, std::span<char> buffer) override {
        std::size_t got = 0;
        while (got < buffer.size()) {
            const ssize_t read = ::pread(descriptor_, buffer.data() + got, buffer.size() - got,
                                         static_cast<off_t>(offset + got));
            if (read < 0) {
                return std::nullopt;
            }
            if (read == 0) {
                break;  // the end of the file
            }
            got += static_cast<std::size_t>(read);
        }
        return got;
    }

private:
    int descriptor_;
    std::uint64_t size_;
};

}  // namespace

std::unique_ptr<FirmwareReader> OpenFirmwareFile(const std::filesystem::path& path) {
    std::error_code ec;
    if (path.empty() || !std::filesystem::is_regular_file(path, ec)) {
        return nullptr;
    }
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        return nullptr;
    }
    struct stat status {};
    if (::fstat(descriptor, &status) != 0) {
        ::close(descriptor);
        return nullptr;
    }
    return std::make_unique<DescriptorReader>(descriptor,
                                              static_cast<std::uint64_t>(status.st_size));
}

}  // namespace parvolink
