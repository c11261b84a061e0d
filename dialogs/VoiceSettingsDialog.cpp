#include "dialogs/VoiceSettingsDialog.h"

#include <cctype>
#include <cstdio>
#include <vector>

#include "dialogs/DialogLayout.h"
#include "engine/EngineStartup.h"
#include "platform/Utf8.h"
#include "reading/CodePage.h"

namespace dialogs {
namespace {

// The framework's edits hand over at most this many characters.
constexpr std::size_t kNumberChars = 19;

// The sentence in the engine's code page, terminated.
std::vector<char> EngineText(int codePage, const std::string& utf8) {
    const std::u16string wide = utf8::ToUtf16(utf8);
    std::vector<char> out(reading::CodePageLength(codePage, wide) + 1);
    reading::WideToCodePage(codePage, wide, out.data(), out.size());
    return out;
}

}  // namespace

std::string TestSentence(const engine::LanguageInfo& lang) {
    if (lang.testSentence) return lang.testSentence;
    const DialogLayout* layout = VoiceSettingsLayouts().Find(lang.settingsDialog);
    const ControlLayout* sentence = layout ? layout->Find(kStaticTestSentence) : nullptr;
    return sentence ? sentence->text : std::string();
}

void PlayTestSentence(engine::EngineSet& engines, const engine::LanguageInfo& lang,
                      std::intptr_t window, int pitch, int speed, int volume) {
    // The Chinese sentence is GB whatever character code is chosen.
    const std::vector<char> text = EngineText(lang.codePage, TestSentence(lang));
    engines.Stop(lang.number);
    engines.Play(lang.number, window, text.data(), lang.speaker, pitch, speed, volume,
                 lang.testTextForm);
}

std::array<Quantity, 3> Quantities() {
    return {{{kSliderVolume, kEditVolume, "ボリューム", g_volumeMin, g_volumeMax, g_volumeDefault},
             {kSliderSpeed, kEditSpeed, "スピード", g_speedMin, g_speedMax - 150, g_speedDefault},
             {kSliderPitch, kEditPitch, "ピッチ", g_pitchMin, g_pitchMax, g_pitchDefault}}};
}

long long ParseNumber(std::string_view text) {
    text = text.substr(0, kNumberChars);
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    constexpr long long kSaturated = 1LL << 40;
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        if (value < kSaturated) value = value * 10 + (text[i] - '0');
    return negative ? -value : value;
}

std::string RangeMessage(int lower, int upper) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "%d-%dの範囲で値を設定してください。", lower, upper);
    return buf;
}

VoiceSettingsDialog::VoiceSettingsDialog(int language, const VoiceDialogServices& services)
    : m_lang(*engine::FindLanguage(language)), m_svc(services) {}

VoiceSettingsDialog::~VoiceSettingsDialog() {
    // An editor still watched when the dialog goes runs on; it must not stay a zombie.
    if (IsWatchingEditor()) m_svc.processes.Release(m_editorProcess);
}

bool VoiceSettingsDialog::OnInitDialog() {
    m_strPathAtOpen = m_userDicPath;
    const settings::VoiceInForce start = InForce();
    m_volume = start.voice.volume;
    m_speed = start.voice.speed;
    m_pitch = start.voice.pitch;
    InitCodePageChoice(start.chiCodepage);
    for (const Quantity& q : Quantities()) {
        View().SetSliderRange(q.slider, q.lower, q.upper);
        View().SetTickFrequency(q.slider, (q.upper - q.lower) / 10);
    }
    View().SetControlText(kEditVolume, std::to_string(m_volume));
    View().SetControlText(kEditSpeed, std::to_string(m_speed));
    View().SetControlText(kEditPitch, std::to_string(m_pitch));
    if (m_lang.testSentence)
        View().DrawSentence(kStaticTestSentence, m_lang.testSentence, m_lang.testSentenceFonts);
    View().SetControlText(kEditUserDicPath, m_userDicPath);
    // The edits keep a stored value outside the bounds as it is; the sliders clamp it.
    View().SetSliderPos(kSliderVolume, m_volume);
    View().SetSliderPos(kSliderSpeed, m_speed);
    View().SetSliderPos(kSliderPitch, m_pitch);
    return true;
}

void VoiceSettingsDialog::OnKillFocus(int editId) {
    for (const Quantity& q : Quantities()) {
        if (q.edit != editId) continue;
        const long long value = ParseNumber(View().ControlText(q.edit));
        if (q.Contains(value)) {
            View().SetSliderPos(q.slider, static_cast<int>(value));
            return;
        }
        m_svc.messages.Show(RangeMessage(q.lower, q.upper), q.caption,
                            platform::MessageKind::RangeExclamation);
        View().SetControlText(q.edit, std::to_string(View().SliderPos(q.slider)));
        return;
    }
}

void VoiceSettingsDialog::OnHScroll(int controlId) {
    for (const Quantity& q : Quantities())
        if (q.slider == controlId)
            View().SetControlText(q.edit, std::to_string(View().SliderPos(q.slider)));
}

void VoiceSettingsDialog::OnDefaults() {
    for (const Quantity& q : Quantities()) View().SetSliderPos(q.slider, q.defaultValue);
    for (const Quantity& q : Quantities()) OnHScroll(q.slider);
}

void VoiceSettingsDialog::OnTest() {
    const int volume = View().SliderPos(kSliderVolume);
    const int speed = View().SliderPos(kSliderSpeed);
    const int pitch = View().SliderPos(kSliderPitch);
    PlayTestSentence(m_svc.engines, m_lang, static_cast<std::intptr_t>(View().NativeWindow()),
                     pitch, speed, volume);
}

void VoiceSettingsDialog::ShowAppMessage(const std::string& text) {
    m_svc.messages.Show(text, kProgramTitle, platform::MessageKind::AppExclamation);
}

bool VoiceSettingsDialog::LoadDictionary(const std::string& path) {
    if (path.size() > kMaxUserDicPath) return false;
    if (engine::IsUserDicEmpty(path)) return true;
    return m_svc.engines.LoadUserDict(m_lang.number, path.c_str()) == 1;
}

settings::VoiceInForce VoiceSettingsDialog::InForce() const {
    return m_svc.inForce ? m_svc.inForce(m_lang.number) : settings::VoiceInForce{};
}

void VoiceSettingsDialog::Keep(const VoiceSettings& voice, int chiCodepage, bool storePath) {
    if (m_svc.keep) m_svc.keep({m_lang.number, voice, m_userDicPath, storePath, chiCodepage});
}

void VoiceSettingsDialog::OnOK() {
    // Values out of bounds keep the ones in force at this moment, not at opening: a hand
    // edit of the settings file may have changed them meanwhile.
    VoiceSettings voice = InForce().voice;
    const auto quantities = Quantities();
    int* targets[] = {&voice.volume, &voice.speed, nullptr};
    for (std::size_t i = 0; i < quantities.size(); ++i) {
        const Quantity& q = quantities[i];
        const long long value = ParseNumber(View().ControlText(q.edit));
        if (!q.Contains(value)) continue;  // dropped without a message
        if (targets[i])
            *targets[i] = static_cast<int>(value);
        else
            voice.pitch = static_cast<std::int16_t>(value);
    }
    const int chiCodepage = ChosenCodePage();

    m_svc.engines.UnloadUserDict(m_lang.number);
    if (LoadDictionary(m_userDicPath)) {
        Keep(voice, chiCodepage, true);
    } else {
        // The dictionary that was in force stays in force, and the path goes back to it, so
        // the engine, the toolbar and the stored path keep naming the same file.
        if (m_strPathAtOpen != m_userDicPath) LoadDictionary(m_strPathAtOpen);
        m_userDicPath = m_strPathAtOpen;
        if (!m_lang.dicMessageAfterWrite) ShowAppMessage(m_lang.dicFailureMessage);
        Keep(voice, chiCodepage, false);
        if (m_lang.dicMessageAfterWrite) ShowAppMessage(m_lang.dicFailureMessage);
    }

    m_volume = View().SliderPos(kSliderVolume);
    m_speed = View().SliderPos(kSliderSpeed);
    m_pitch = View().SliderPos(kSliderPitch);
    ExchangeCodePageChoice();
    View().EndDialog(kIdOk);
}

void VoiceSettingsDialog::OnCancel() {
    View().EndDialog(kIdCancel);
}

void MODE_C::InitCodePageChoice(int chiCodepage) {
    m_codePageIndex = chiCodepage;
    const bool known = chiCodepage >= 0 && chiCodepage < 4;
    View().CheckRadio(known ? kCodePageButtons[chiCodepage] : 0);
}

int MODE_C::ChosenCodePage() {
    for (int i = 0; i < 4; ++i)
        if (View().IsChecked(kCodePageButtons[i])) return i;
    return -1;
}

void MODE_C::ExchangeCodePageChoice() {
    m_codePageIndex = ChosenCodePage();
}

std::unique_ptr<VoiceSettingsDialog> MakeVoiceSettingsDialog(int language,
                                                             const VoiceDialogServices& services) {
    switch (language) {
        case engine::kJapanese:
            return std::make_unique<MODE_J>(services);
        case engine::kEnglish:
            return std::make_unique<MODE_E>(services);
        case engine::kChinese:
            return std::make_unique<MODE_C>(services);
        case engine::kKorean:
            return std::make_unique<MODE_K>(services);
        default:
            return nullptr;
    }
}

}  // namespace dialogs
