#include "platform/x11/X11QtStart.h"

#include <QGuiApplication>

#include "engine/Diagnostics.h"
#include "platform/x11/X11WindowSystem.h"

namespace platform {

X11QtStart::X11QtStart(int argc, char** argv, std::string program)
    : m_strProgram(std::move(program)),
      m_env(DisplayEnvironment::FromProcess()),
      m_choice(ChooseDisplayPlatform(m_env, m_strProgram)) {
    for (int i = 0; i < argc; ++i) {
        m_argv.push_back(argv[i]);
        if (i == 0 && m_choice.start == DisplayPlatformChoice::Start::OnXcb) {
            m_argv.push_back(m_strPlatformOption.data());
            m_argv.push_back(m_strXcb.data());
        }
    }
    m_argc = static_cast<int>(m_argv.size());
    m_argv.push_back(nullptr);
    if (m_choice.start == DisplayPlatformChoice::Start::Refuse) {
        diag::SayAsIs(diag::Level::Error, m_choice.message.c_str());
        return;
    }
    if (!X11DisplayReachable()) {
        diag::SayAsIs(diag::Level::Error, UnreachableDisplayMessage(m_env, m_strProgram).c_str());
        return;
    }
    m_bReady = true;
}

bool X11QtStart::OnX11() const {
    const QString name = QGuiApplication::platformName();
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (name == QLatin1String("xcb") && x11 && x11->display()) return true;
    diag::SayAsIs(diag::Level::Error,
                  NotX11Message(m_env, m_strProgram, name.toStdString()).c_str());
    return false;
}

}  // namespace platform
