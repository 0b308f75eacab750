#include "support/https_server.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <thread>

#include "support/child_process.h"

namespace zlv::test {

namespace {

// python3 through a version manager can take a few seconds to start on a loaded machine.
constexpr int kStartTimeoutMs = 20000;
constexpr auto kStopGrace = std::chrono::seconds(2);

std::string Hex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += kDigits[c >> 4];
    out += kDigits[c & 0xF];
  }
  return out;
}

std::string Unhex(std::string_view hex) {
  auto value = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
  std::string out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    out += static_cast<char>(value(hex[i]) * 16 + value(hex[i + 1]));
  }
  return out;
}

// Reads the port the server prints once it listens; 0 when it ended or said nothing in time.
int ReadPort(int fd) {
  std::string line;
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartTimeoutMs);
  while (line.find('\n') == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return 0;
    pollfd waiting{fd, POLLIN, 0};
    if (poll(&waiting, 1, static_cast<int>(left.count())) <= 0) continue;
    char buffer[64];
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got <= 0) return 0;
    line.append(buffer, static_cast<std::size_t>(got));
  }
  try {
    return std::stoi(line);
  } catch (const std::exception&) {
    return 0;
  }
}

}  // namespace

void MakeTestCertificate(const std::filesystem::path& folder, const std::string& name,
                         const std::string& subject) {
  RunChild({"openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
            "-nodes", "-days", "2", "-subj", subject, "-addext",
            "subjectAltName=IP:127.0.0.1,DNS:localhost", "-keyout",
            (folder / (name + ".key")).string(), "-out", (folder / (name + ".pem")).string()},
           folder / "openssl.log");
}

void MakeExpiredTestCertificate(const std::filesystem::path& folder, const std::string& name) {
  // `openssl req -x509` cannot date a certificate in the past; `openssl ca` signs the request
  // with its own key and any dates.
  const std::filesystem::path work = folder / (name + "-ca");
  std::filesystem::create_directories(work);
  WriteFileBytes((work / "ca.cnf").string(),
                 "[ca]\ndefault_ca = test\n[test]\ndatabase = " + (work / "index.txt").string() +
                     "\nnew_certs_dir = " + work.string() +
                     "\nserial = " + (work / "serial").string() +
                     "\ndefault_md = sha256\npolicy = any\ncopy_extensions = copy\n"
                     "[any]\ncommonName = supplied\n");
  WriteFileBytes((work / "index.txt").string(), "");
  WriteFileBytes((work / "serial").string(), "01\n");
  const std::filesystem::path key = folder / (name + ".key"), request = work / "request.csr";
  RunChild(
      {"openssl", "req", "-new", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
       "-nodes", "-subj", "/CN=localhost", "-addext", "subjectAltName=IP:127.0.0.1,DNS:localhost",
       "-keyout", key.string(), "-out", request.string()},
      folder / "openssl.log");
  RunChild(
      {"openssl", "ca", "-batch", "-config", (work / "ca.cnf").string(), "-selfsign", "-keyfile",
       key.string(), "-in", request.string(), "-out", (folder / (name + ".pem")).string(),
       "-startdate", "20200101000000Z", "-enddate", "20200102000000Z"},
      folder / "openssl.log");
}

std::string ReceivedRequest::Header(std::string_view name) const {
  auto lower = [](std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
  };
  for (const auto& [key, value] : headers) {
    if (lower(key) == lower(name)) return value;
  }
  return {};
}

TestHttpsServer::TestHttpsServer(Certificate certificate) : folder_("zlv-https") {
  const std::filesystem::path& folder = folder_.path();
  if (certificate == Certificate::kExpired) {
    MakeExpiredTestCertificate(folder, "server");
  } else {
    MakeTestCertificate(folder, "server", "/CN=localhost");
  }
  ca_file_ = folder / "server.pem";
  if (certificate == Certificate::kUntrusted) {
    MakeTestCertificate(folder, "other", "/CN=Another test CA");
    ca_file_ = folder / "other.pem";
  }
  WriteReply();

  int pipe_fds[2];
  if (pipe(pipe_fds) != 0) throw std::runtime_error("cannot create a pipe");
  const std::filesystem::path log_file = folder / "server.log";
  try {
    pid_ = SpawnChild({"python3", ZLV_TEST_HTTPS_SERVER_SCRIPT, (folder / "server.pem").string(),
                       (folder / "server.key").string(), folder.string()},
                      pipe_fds[1], log_file);
  } catch (...) {
    close(pipe_fds[0]);
    close(pipe_fds[1]);
    throw;
  }
  close(pipe_fds[1]);
  port_ = ReadPort(pipe_fds[0]);
  close(pipe_fds[0]);
  if (port_ <= 0) {
    Stop();
    throw std::runtime_error("the test HTTPS server did not start: " + LogText(log_file));
  }
}

TestHttpsServer::~TestHttpsServer() { Stop(); }

TestHttpsServer::TestHttpsServer(TestHttpsServer&& other) noexcept
    : folder_(std::move(other.folder_)),
      ca_file_(std::move(other.ca_file_)),
      pid_(std::exchange(other.pid_, -1)),
      port_(other.port_),
      status_(other.status_),
      body_(std::move(other.body_)),
      content_type_(std::move(other.content_type_)),
      delay_(other.delay_) {}

TestHttpsServer& TestHttpsServer::operator=(TestHttpsServer&& other) noexcept {
  if (this != &other) {
    Stop();
    folder_ = std::move(other.folder_);
    ca_file_ = std::move(other.ca_file_);
    pid_ = std::exchange(other.pid_, -1);
    port_ = other.port_;
    status_ = other.status_;
    body_ = std::move(other.body_);
    content_type_ = std::move(other.content_type_);
    delay_ = other.delay_;
  }
  return *this;
}

void TestHttpsServer::Stop() noexcept {
  if (pid_ <= 0) return;
  kill(-pid_, SIGTERM);
  const auto deadline = std::chrono::steady_clock::now() + kStopGrace;
  int status = 0;
  while (waitpid(pid_, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(-pid_, SIGKILL);
      waitpid(pid_, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  pid_ = -1;
}

std::string TestHttpsServer::url(std::string_view path) const {
  return "https://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

void TestHttpsServer::SetReply(int status, std::string body, std::string content_type) {
  status_ = status;
  body_ = std::move(body);
  content_type_ = std::move(content_type);
  WriteReply();
}

void TestHttpsServer::SetDelay(double seconds) {
  delay_ = seconds;
  WriteReply();
}

void TestHttpsServer::WriteReply() const {
  const nlohmann::json reply = {{"status", status_},
                                {"content_type", content_type_},
                                {"body_hex", Hex(body_)},
                                {"delay", delay_}};
  // Replaced in one step: the server may be reading it for a request at this very moment.
  const std::filesystem::path file = folder_.path() / "reply.json";
  WriteFileBytes(file.string() + ".tmp", reply.dump());
  std::filesystem::rename(file.string() + ".tmp", file);
}

std::vector<ReceivedRequest> TestHttpsServer::requests() const {
  std::vector<std::filesystem::path> files;
  const std::filesystem::path folder = folder_.path() / "requests";
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    if (entry.path().extension() == ".json") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  std::vector<ReceivedRequest> out;
  for (const auto& file : files) {
    const nlohmann::json record = nlohmann::json::parse(ReadFileBytes(file));
    ReceivedRequest request;
    request.method = record.at("method").get<std::string>();
    request.path = record.at("path").get<std::string>();
    for (const auto& header : record.at("headers")) {
      request.headers.emplace_back(header.at(0).get<std::string>(),
                                   header.at(1).get<std::string>());
    }
    request.body = Unhex(record.at("body_hex").get<std::string>());
    out.push_back(std::move(request));
  }
  return out;
}

}  // namespace zlv::test
