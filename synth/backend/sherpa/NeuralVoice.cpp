#include "synth/backend/sherpa/NeuralVoice.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "engine/Diagnostics.h"
#include "synth/backend/sherpa/VoiceLibrary.h"

extern char** environ;

namespace synth {
namespace {

using Clock = std::chrono::steady_clock;
using neural::FrameHeader;
using neural::FrameKind;

// A real model loads in a few seconds even on a busy machine; a sentence is made in well
// under a second. Only a hung helper meets these.
constexpr std::chrono::milliseconds kLoadLimit{60000}, kSentenceLimit{30000};
constexpr int kPollMs = 5;

constexpr const char* kHelperName = "selvarine-neural-voice";
constexpr const char* kRuntimeDefault =
    "/usr/local/lib/selvarine/sherpa-onnx/libsherpa-onnx-c-api.so";

bool sendAll(int fd, const void* data, std::size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        // Never SIGPIPE: a dead helper is a failed voice, not a dead toolbar.
        const ssize_t n = ::send(fd, p, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

NeuralSetup defaultNeuralSetup() {
    NeuralSetup setup;
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&defaultNeuralSetup), &info) && info.dli_fname)
        setup.helper = (std::filesystem::path(info.dli_fname).parent_path() / kHelperName).string();
    const char* runtime = std::getenv("SELVARINE_NEURAL_RUNTIME");
    setup.runtime = runtime && *runtime ? runtime : kRuntimeDefault;
    return setup;
}

NeuralVoice::NeuralVoice(NeuralModel model, NeuralSetup setup)
    : m_model(std::move(model)), m_setup(std::move(setup)) {
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) {
        breakDown(std::string("cannot make a socket: ") + std::strerror(errno));
        return;
    }
    const std::string threads = std::to_string(m_setup.threads);
    const char* argv[] = {m_setup.helper.c_str(),  m_setup.runtime.c_str(),
                          m_model.model.c_str(),   m_model.tokens.c_str(),
                          m_model.lexicon.c_str(), m_model.dataDir.c_str(),
                          threads.c_str(),         nullptr};
    static_assert(sizeof argv / sizeof *argv == neural::kArgCount + 1);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    // The runtime logs freely on stderr; only a verbose run wants to see it.
    if (!diag::Verbose())
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    const int rc = ::posix_spawn(&m_pid, m_setup.helper.c_str(), &actions, nullptr,
                                 const_cast<char* const*>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    m_fd = fds[0];
    if (rc != 0) {
        m_pid = -1;
        breakDown("cannot start " + m_setup.helper + ": " + std::strerror(rc));
    }
}

NeuralVoice::~NeuralVoice() {
    if (m_fd >= 0) ::close(m_fd);
    // The helper may be deep in a sentence; nothing it holds needs a clean end.
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        while (::waitpid(m_pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
}

std::string NeuralVoice::describe() const {
    return "the neural voice " + m_model.folder;
}

void NeuralVoice::breakDown(const std::string& why) {
    if (m_bBroken) return;
    m_bBroken = true;
    m_strWhy = why;
    diag::Say(diag::Level::Detail, "%s: %s", describe().c_str(), why.c_str());
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        int status = 0;
        while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
        }
        m_pid = -1;
    }
}

NeuralVoice::Got NeuralVoice::next(FrameHeader* header, std::string* payload,
                                   const Cancelled& cancelled, std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    for (;;) {
        // Before what is read already, too: a stop must not let buffered sentences through.
        if (cancelled && cancelled()) return Got::Cancelled;
        if (m_in.size() >= sizeof *header) {
            std::memcpy(header, m_in.data(), sizeof *header);
            if (header->bytes > (64u << 20)) {
                breakDown("the helper sent a malformed frame");
                return Got::Broken;
            }
            if (m_in.size() >= sizeof *header + header->bytes) {
                payload->assign(m_in, sizeof *header, header->bytes);
                m_in.erase(0, sizeof *header + header->bytes);
                return Got::Frame;
            }
        }
        if (Clock::now() > deadline) {
            breakDown("the helper did not answer in time");
            return Got::Broken;
        }
        pollfd p{m_fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, kPollMs);
        if (ready < 0 && errno != EINTR) {
            breakDown("cannot wait for the helper");
            return Got::Broken;
        }
        if (ready <= 0) continue;
        char chunk[65536];
        const ssize_t n = ::recv(m_fd, chunk, sizeof chunk, 0);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) {
            int status = 0;
            std::string how = "the helper ended";
            if (m_pid > 0 && ::waitpid(m_pid, &status, 0) == m_pid) {
                m_pid = -1;
                if (WIFEXITED(status))
                    how += " (exit status " + std::to_string(WEXITSTATUS(status)) + ")";
                else if (WIFSIGNALED(status))
                    how += " (signal " + std::to_string(WTERMSIG(status)) + ")";
            }
            breakDown(how);
            return Got::Broken;
        }
        m_in.append(chunk, static_cast<std::size_t>(n));
    }
}

bool NeuralVoice::waitReady(const Cancelled& cancelled, std::string* why) {
    while (!m_bReady && !m_bBroken) {
        FrameHeader header{};
        std::string payload;
        const Got got = next(&header, &payload, cancelled, kLoadLimit);
        if (got == Got::Cancelled) return false;
        if (got == Got::Broken) break;
        if (header.kind == FrameKind::Failed) {
            breakDown(payload);
        } else if (header.kind == FrameKind::Ready && payload.size() == 2 * sizeof(int32_t)) {
            int32_t info[2];
            std::memcpy(info, payload.data(), sizeof info);
            // The model's header told us the rate already; a runtime that says otherwise
            // reads the model another way than we do.
            if (info[0] != m_model.sampleRate)
                breakDown("the runtime reports " + std::to_string(info[0]) + " Hz, the model " +
                          std::to_string(m_model.sampleRate) + " Hz");
            else
                m_bReady = true;
        } else {
            breakDown("the helper answered out of turn");
        }
    }
    if (m_bBroken && why) *why = m_strWhy;
    return m_bReady;
}

bool NeuralVoice::request(neural::RequestKind kind, uint32_t id, const Prosody& prosody,
                          const std::string& utf8) {
    const neural::RequestHeader header{kind,
                                       id,
                                       static_cast<float>(prosody.speed) / 100.0f,
                                       static_cast<float>(prosody.pitch) / 100.0f,
                                       m_setup.speaker < m_model.speakers ? m_setup.speaker : 0,
                                       static_cast<uint32_t>(utf8.size())};
    if (sendAll(m_fd, &header, sizeof header) && sendAll(m_fd, utf8.data(), utf8.size()))
        return true;
    breakDown("cannot reach the helper");
    return false;
}

void NeuralVoice::prepare(const std::string& utf8, const Prosody& prosody) {
    if (m_bBroken || utf8.size() > neural::kMaxRequestBytes ||
        (m_preparedId && m_preparedText == utf8 && m_preparedProsody.speed == prosody.speed &&
         m_preparedProsody.pitch == prosody.pitch))
        return;
    if (m_preparedId) request(neural::RequestKind::Stop, m_preparedId, {}, {});
    m_preparedId = m_nextId++;
    m_preparedText = utf8;
    m_preparedProsody = prosody;
    if (!request(neural::RequestKind::Speak, m_preparedId, prosody, utf8)) m_preparedId = 0;
}

SpeakResult NeuralVoice::speak(const std::string& utf8, const Prosody& prosody, const PcmOut& out,
                               const Cancelled& cancelled) {
    if (!waitReady(cancelled, nullptr))
        return m_bBroken ? SpeakResult::Failed : SpeakResult::Cancelled;
    if (utf8.size() > neural::kMaxRequestBytes) return SpeakResult::Failed;
    uint32_t id = 0;
    if (m_preparedId && m_preparedText == utf8 && m_preparedProsody.speed == prosody.speed &&
        m_preparedProsody.pitch == prosody.pitch) {
        id = m_preparedId;
    } else {
        if (m_preparedId) request(neural::RequestKind::Stop, m_preparedId, {}, {});
        id = m_nextId++;
        if (!request(neural::RequestKind::Speak, id, prosody, utf8)) return SpeakResult::Failed;
    }
    m_preparedId = 0;
    std::vector<int16_t> pcm;
    for (;;) {
        FrameHeader header{};
        std::string payload;
        const Got got = next(&header, &payload, cancelled, kSentenceLimit);
        if (got == Got::Cancelled) {
            request(neural::RequestKind::Stop, id, {}, {});
            return SpeakResult::Cancelled;
        }
        if (got == Got::Broken) return SpeakResult::Failed;
        if (header.id != id) continue;  // what was stopped or prepared in vain
        switch (header.kind) {
            case FrameKind::Pcm:
                pcm.resize(payload.size() / sizeof(int16_t));
                std::memcpy(pcm.data(), payload.data(), pcm.size() * sizeof(int16_t));
                if (!pcm.empty()) out(pcm.data(), pcm.size());
                break;
            case FrameKind::Done:
                return SpeakResult::Done;
            case FrameKind::Failed:
                // The model is still loaded; the next sentence may go well, but the caller's
                // fallback says this one.
                diag::Say(diag::Level::Detail, "%s: %s", describe().c_str(), payload.c_str());
                return SpeakResult::Failed;
            default:
                breakDown("the helper answered out of turn");
                return SpeakResult::Failed;
        }
    }
}

namespace {

std::unique_ptr<NeuralVoice> start(NeuralModel model, const NeuralSetup& setup, std::string* why) {
    if (::access(setup.helper.c_str(), X_OK) != 0) {
        *why = "no helper program " + setup.helper;
        return nullptr;
    }
    if (::access(setup.runtime.c_str(), R_OK) != 0) {
        *why = "the neural voice runtime is not installed (" + setup.runtime + ")";
        return nullptr;
    }
    return std::make_unique<NeuralVoice>(std::move(model), setup);
}

}  // namespace

std::unique_ptr<NeuralVoice> openNeuralVoice(const std::string& folder, const NeuralSetup& setup,
                                             std::string* why) {
    auto model = inspectNeuralModel(folder, why);
    return model ? start(std::move(*model), setup, why) : nullptr;
}

std::unique_ptr<NeuralVoice> openAddedVoice(const std::string& voiceValue,
                                            const std::string& language, std::string* why,
                                            const NeuralSetup& setup) {
    if (voiceValue.empty()) return nullptr;
    const auto folder = addedVoiceFolder(voicesFolder(), voiceValue);
    if (!folder) {
        *why = "the Voice value \"" + voiceValue + "\" names no voice folder";
        return nullptr;
    }
    const auto model = inspectNeuralModel(*folder, why);
    if (!model) return nullptr;
    if (!speaksLanguage(*model, language)) {
        *why = *folder + " speaks " + model->language + ", not " + language;
        return nullptr;
    }
    return start(std::move(*model), setup, why);
}

}  // namespace synth
