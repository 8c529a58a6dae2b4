#include "StrRes.h"

#include <cstddef>

namespace
{
static_assert(sizeof(juce::juce_wchar) == sizeof(char32_t), "JUCE must use 32-bit characters");

// Builds a text from a 32-bit literal alone. Runs during static initialisation, so it must not
// touch any other static object; the literal is copied into a buffer of JUCE's own character
// type rather than read through a cast pointer.
template <std::size_t N>
juce::String wide(const char32_t (&literal)[N])
{
    juce::juce_wchar chars[N];
    for (std::size_t i = 0; i < N; ++i)
        chars[i] = static_cast<juce::juce_wchar>(literal[i]);
    return juce::String(juce::CharPointer_UTF32(chars));
}
} // namespace

// The arrays are defined in their declaration order, so they are constructed in that order and
// destroyed in reverse at exit. Entry i of every array belongs to language i (LangIdTable_t).
namespace StrRes
{
const juce::String DEFAULT_FONT_WIN[LANG_MAX] = {
    wide(U"Verdana"),    // LANG_EN
    wide(U"Verdana"),    // LANG_FR
    wide(U"Verdana"),    // LANG_DE
    wide(U"Verdana"),    // LANG_ES
    wide(U"Verdana"),    // LANG_IT
    wide(U"Verdana"),    // LANG_NL
    wide(U"Verdana"),    // LANG_RU
    wide(U"Verdana"),    // LANG_PT
    wide(U"SimHei"),     // LANG_ZH_HANS
    wide(U"SimHei"),     // LANG_ZH_HANT
    wide(U"Batang"),     // LANG_KO
    wide(U"MS PGothic"), // LANG_JA
};

const juce::String DEFAULT_FONT_MAC[LANG_MAX] = {
    wide(U"Verdana"),             // LANG_EN
    wide(U"Verdana"),             // LANG_FR
    wide(U"Verdana"),             // LANG_DE
    wide(U"Verdana"),             // LANG_ES
    wide(U"Verdana"),             // LANG_IT
    wide(U"Verdana"),             // LANG_NL
    wide(U"Helvetica Neue"),      // LANG_RU
    wide(U"Verdana"),             // LANG_PT
    wide(U"Heiti SC"),            // LANG_ZH_HANS
    wide(U"Heiti TC"),            // LANG_ZH_HANT
    wide(U"Apple SD Gothic Neo"), // LANG_KO
    wide(U"Hiragino Sans W5"),    // LANG_JA
};

const juce::String LANGUAGE_SELECTION[LANG_MAX] = {
    wide(U"English"),    // LANG_EN
    wide(U"Français"),   // LANG_FR
    wide(U"Deutsch"),    // LANG_DE
    wide(U"Español"),    // LANG_ES
    wide(U"Italiano"),   // LANG_IT
    wide(U"Nederlands"), // LANG_NL
    wide(U"Русский"),    // LANG_RU
    wide(U"Português"),  // LANG_PT
    wide(U"简体中文"),   // LANG_ZH_HANS
    wide(U"繁體中文"),   // LANG_ZH_HANT
    wide(U"한국어"),     // LANG_KO
    wide(U"日本語"),     // LANG_JA
};

const juce::String NULL_STR[LANG_MAX] = {
    wide(U""), // LANG_EN
    wide(U""), // LANG_FR
    wide(U""), // LANG_DE
    wide(U""), // LANG_ES
    wide(U""), // LANG_IT
    wide(U""), // LANG_NL
    wide(U""), // LANG_RU
    wide(U""), // LANG_PT
    wide(U""), // LANG_ZH_HANS
    wide(U""), // LANG_ZH_HANT
    wide(U""), // LANG_KO
    wide(U""), // LANG_JA
};

const juce::String NAME_000[LANG_MAX] = {
    wide(U"QEL"), // LANG_EN
    wide(U"QEL"), // LANG_FR
    wide(U"QEL"), // LANG_DE
    wide(U"QEL"), // LANG_ES
    wide(U"QEL"), // LANG_IT
    wide(U"QEL"), // LANG_NL
    wide(U"QEL"), // LANG_RU
    wide(U"QEL"), // LANG_PT
    wide(U"QEL"), // LANG_ZH_HANS
    wide(U"QEL"), // LANG_ZH_HANT
    wide(U"QEL"), // LANG_KO
    wide(U"QEL"), // LANG_JA
};

const juce::String NAME_001[LANG_MAX] = {
    wide(U"QEL-720"), // LANG_EN
    wide(U"QEL-720"), // LANG_FR
    wide(U"QEL-720"), // LANG_DE
    wide(U"QEL-720"), // LANG_ES
    wide(U"QEL-720"), // LANG_IT
    wide(U"QEL-720"), // LANG_NL
    wide(U"QEL-720"), // LANG_RU
    wide(U"QEL-720"), // LANG_PT
    wide(U"QEL-720"), // LANG_ZH_HANS
    wide(U"QEL-720"), // LANG_ZH_HANT
    wide(U"QEL-720"), // LANG_KO
    wide(U"QEL-720"), // LANG_JA
};

const juce::String STR_0000[LANG_MAX] = {
    wide(U"Updater Program"),            // LANG_EN
    wide(U"Programme de mise à jour"),   // LANG_FR
    wide(U"Aktualisierungsprogramm"),    // LANG_DE
    wide(U"Programa de actualización"),  // LANG_ES
    wide(U"Programma di aggiornamento"), // LANG_IT
    wide(U"Updateprogramma"),            // LANG_NL
    wide(U"Программа обновления"),       // LANG_RU
    wide(U"Programa de actualização"),   // LANG_PT
    wide(U"升级程序"),                   // LANG_ZH_HANS
    wide(U"更新程式"),                   // LANG_ZH_HANT
    wide(U"업데이트 프로그램"),          // LANG_KO
    wide(U"アップデートプログラム"),     // LANG_JA
};

const juce::String STR_0001[LANG_MAX] = {
    wide(U"OK"),      // LANG_EN
    wide(U"OK"),      // LANG_FR
    wide(U"OK"),      // LANG_DE
    wide(U"Aceptar"), // LANG_ES
    wide(U"OK"),      // LANG_IT
    wide(U"Akkoord"), // LANG_NL
    wide(U"ОК"),      // LANG_RU
    wide(U"OK"),      // LANG_PT
    wide(U"确定"),    // LANG_ZH_HANS
    wide(U"確定"),    // LANG_ZH_HANT
    wide(U"OK"),      // LANG_KO
    wide(U"OK"),      // LANG_JA
};

const juce::String STR_0002[LANG_MAX] = {
    wide(U"Start"),    // LANG_EN
    wide(U"Démarrer"), // LANG_FR
    wide(U"Start"),    // LANG_DE
    wide(U"Iniciar"),  // LANG_ES
    wide(U"Start"),    // LANG_IT
    wide(U"Starten"),  // LANG_NL
    wide(U"Начать"),   // LANG_RU
    wide(U"Iniciar"),  // LANG_PT
    wide(U"开始"),     // LANG_ZH_HANS
    wide(U"開始"),     // LANG_ZH_HANT
    wide(U"시작"),     // LANG_KO
    wide(U"開始"),     // LANG_JA
};

const juce::String STR_0003[LANG_MAX] = {
    wide(U"Cancel"),     // LANG_EN
    wide(U"Annuler"),    // LANG_FR
    wide(U"Abbrechen"),  // LANG_DE
    wide(U"Cancelar"),   // LANG_ES
    wide(U"Annulla"),    // LANG_IT
    wide(U"Annuleren"),  // LANG_NL
    wide(U"Отмена"),     // LANG_RU
    wide(U"Cancelar"),   // LANG_PT
    wide(U"取消"),       // LANG_ZH_HANS
    wide(U"取消"),       // LANG_ZH_HANT
    wide(U"취소"),       // LANG_KO
    wide(U"キャンセル"), // LANG_JA
};

const juce::String STR_0004[LANG_MAX] = {
    wide(U"Close"),     // LANG_EN
    wide(U"Fermer"),    // LANG_FR
    wide(U"Schließen"), // LANG_DE
    wide(U"Cerrar"),    // LANG_ES
    wide(U"Chiudi"),    // LANG_IT
    wide(U"Sluiten"),   // LANG_NL
    wide(U"Закрыть"),   // LANG_RU
    wide(U"Fechar"),    // LANG_PT
    wide(U"关闭"),      // LANG_ZH_HANS
    wide(U"關閉"),      // LANG_ZH_HANT
    wide(U"닫기"),      // LANG_KO
    wide(U"閉じる"),    // LANG_JA
};

const juce::String STR_0005[LANG_MAX] = {
    wide(U"Language Selections"),    // LANG_EN
    wide(U"Sélection de la langue"), // LANG_FR
    wide(U"Sprachauswahl"),          // LANG_DE
    wide(U"Selección de idioma"),    // LANG_ES
    wide(U"Selezione della lingua"), // LANG_IT
    wide(U"Taalkeuze"),              // LANG_NL
    wide(U"Выбор языка"),            // LANG_RU
    wide(U"Selecção de idioma"),     // LANG_PT
    wide(U"语言选择"),               // LANG_ZH_HANS
    wide(U"語言選擇"),               // LANG_ZH_HANT
    wide(U"언어 선택"),              // LANG_KO
    wide(U"言語の選択"),             // LANG_JA
};

const juce::String STR_0006[LANG_MAX] = {
    wide(U"Please select a language."),          // LANG_EN
    wide(U"Veuillez sélectionner une langue."),  // LANG_FR
    wide(U"Bitte wählen Sie eine Sprache aus."), // LANG_DE
    wide(U"Seleccione un idioma."),              // LANG_ES
    wide(U"Seleziona una lingua."),              // LANG_IT
    wide(U"Selecteer een taal."),                // LANG_NL
    wide(U"Выберите язык."),                     // LANG_RU
    wide(U"Seleccione um idioma."),              // LANG_PT
    wide(U"请选择语言。"),                       // LANG_ZH_HANS
    wide(U"請選擇語言。"),                       // LANG_ZH_HANT
    wide(U"언어를 선택하십시오."),               // LANG_KO
    wide(U"言語を選択してください。"),           // LANG_JA
};

const juce::String STR_0007[LANG_MAX] = {
    wide(U"There is an error in the update file."),          // LANG_EN
    wide(U"Le fichier de mise à jour contient une erreur."), // LANG_FR
    wide(U"Die Aktualisierungsdatei ist fehlerhaft."),       // LANG_DE
    wide(U"El archivo de actualización contiene un error."), // LANG_ES
    wide(U"Il file di aggiornamento contiene un errore."),   // LANG_IT
    wide(U"Het updatebestand bevat een fout."),              // LANG_NL
    wide(U"Файл обновления содержит ошибку."),               // LANG_RU
    wide(U"O ficheiro de actualização contém um erro."),     // LANG_PT
    wide(U"升级文件有错误。"),                               // LANG_ZH_HANS
    wide(U"更新檔案有錯誤。"),                               // LANG_ZH_HANT
    wide(U"업데이트 파일에 오류가 있습니다."),               // LANG_KO
    wide(U"更新ファイルにエラーがあります。"),               // LANG_JA
};

const juce::String STR_0008[LANG_MAX] = {
    wide(U"Your %s is not connected."),         // LANG_EN
    wide(U"Votre %s n'est pas connecté."),      // LANG_FR
    wide(U"Ihr %s ist nicht angeschlossen."),   // LANG_DE
    wide(U"Su %s no está conectado."),          // LANG_ES
    wide(U"Il tuo %s non è collegato."),        // LANG_IT
    wide(U"Uw %s is niet aangesloten."),        // LANG_NL
    wide(U"Ваш %s не подключен."),              // LANG_RU
    wide(U"O seu %s não está ligado."),         // LANG_PT
    wide(U"您的%s未连接。"),                    // LANG_ZH_HANS
    wide(U"您的%s未連接。"),                    // LANG_ZH_HANT
    wide(U"%s 장치가 연결되어 있지 않습니다."), // LANG_KO
    wide(U"%sが接続されていません。"),          // LANG_JA
};

const juce::String STR_0009[LANG_MAX] = {
    wide(U"Updates the version of your %s firmware."),                       // LANG_EN
    wide(U"Ce programme met à jour la version du firmware de votre %s."),    // LANG_FR
    wide(U"Hiermit wird die Firmware-Version Ihres %s aktualisiert."),       // LANG_DE
    wide(U"Este programa actualiza la versión del firmware de su %s."),      // LANG_ES
    wide(U"Questo programma aggiorna la versione del firmware del tuo %s."), // LANG_IT
    wide(U"Hiermee wordt de firmwareversie van uw %s bijgewerkt."),          // LANG_NL
    wide(U"Эта программа обновит версию микропрограммы вашего %s."),         // LANG_RU
    wide(U"Este programa actualiza a versão do firmware do seu %s."),        // LANG_PT
    wide(U"本程序将升级您的%s固件版本。"),                                   // LANG_ZH_HANS
    wide(U"本程式將更新您的%s韌體版本。"),                                   // LANG_ZH_HANT
    wide(U"%s 펌웨어의 버전을 업데이트합니다."),                             // LANG_KO
    wide(U"%sのファームウェアのバージョンを更新します。"),                   // LANG_JA
};

const juce::String STR_0010[LANG_MAX] = {
    wide(U"Current Version: Ver. %s.%02s"),            // LANG_EN
    wide(U"Version actuelle: Ver. %s.%02s"),           // LANG_FR
    wide(U"Gegenwärtige Version: Ver. %s.%02s"),       // LANG_DE
    wide(U"Versión actual: Ver. %s.%02s"),             // LANG_ES
    wide(U"Versione attualmente installata: %s.%02s"), // LANG_IT
    wide(U"Huidige versie: Ver. %s.%02s"),             // LANG_NL
    wide(U"Настоящая версия: Версия %s.%02s"),         // LANG_RU
    wide(U"Versão actual: Ver. %s.%02s"),              // LANG_PT
    wide(U"当前版本: Ver. %s.%02s"),                   // LANG_ZH_HANS
    wide(U"目前版本: %s.%02s版"),                      // LANG_ZH_HANT
    wide(U"현재 버전: Ver. %s.%02s"),                  // LANG_KO
    wide(U"現在のバージョン: Ver%s.%02s"),             // LANG_JA
};

const juce::String STR_0011[LANG_MAX] = {
    wide(U"Update Version: Ver. %s.%02s"),           // LANG_EN
    wide(U"Version de mise à jour: Ver. %s.%02s"),   // LANG_FR
    wide(U"Aktualisierte Version: Ver. %s.%02s"),    // LANG_DE
    wide(U"Versión de actualización: Ver. %s.%02s"), // LANG_ES
    wide(U"Versione aggiornata: %s.%02s"),           // LANG_IT
    wide(U"Versie na de update: Ver. %s.%02s"),      // LANG_NL
    wide(U"Обновленная версия: Версия %s.%02s"),     // LANG_RU
    wide(U"Actualizar versão: Ver. %s.%02s"),        // LANG_PT
    wide(U"升级版本: Ver. %s.%02s"),                 // LANG_ZH_HANS
    wide(U"更新版本: %s.%02s版"),                    // LANG_ZH_HANT
    wide(U"업데이트 버전: Ver. %s.%02s"),            // LANG_KO
    wide(U"更新バージョン: Ver%s.%02s"),             // LANG_JA
};

const juce::String STR_0012[LANG_MAX] = {
    wide(U"Updating your %s firmware."),                       // LANG_EN
    wide(U"Mise à jour du firmware de votre %s en cours."),    // LANG_FR
    wide(U"Die Firmware Ihres %s wird aktualisiert."),         // LANG_DE
    wide(U"Actualizando el firmware de su %s."),               // LANG_ES
    wide(U"Aggiornamento del firmware del tuo %s in corso."),  // LANG_IT
    wide(U"De firmware van uw %s wordt bijgewerkt."),          // LANG_NL
    wide(U"Выполняется обновление микропрограммы вашего %s."), // LANG_RU
    wide(U"A actualizar o firmware do seu %s."),               // LANG_PT
    wide(U"正在升级您的%s固件。"),                             // LANG_ZH_HANS
    wide(U"正在更新您的%s韌體。"),                             // LANG_ZH_HANT
    wide(U"%s 펌웨어를 업데이트하고 있습니다."),               // LANG_KO
    wide(U"%sのファームウェアを更新しています。"),             // LANG_JA
};

const juce::String STR_0013[LANG_MAX] = {
    wide(U"Please wait for a few moments until the update process is complete."),                          // LANG_EN
    wide(U"Veuillez patienter quelques instants jusqu'à la fin de la mise à jour."),                       // LANG_FR
    wide(U"Bitte warten Sie einen Moment, bis die Aktualisierung abgeschlossen ist."),                     // LANG_DE
    wide(U"Espere unos instantes hasta que finalice el proceso de actualización."),                        // LANG_ES
    wide(U"Si prega di attendere alcuni istanti fino al completamento della procedura di aggiornamento."), // LANG_IT
    wide(U"Even geduld alstublieft tot het updateproces is voltooid."),                                    // LANG_NL
    wide(U"Пожалуйста, подождите, пока процесс обновления не завершится."),                                // LANG_RU
    wide(U"Aguarde alguns instantes até o processo de actualização estar concluído."),                     // LANG_PT
    wide(U"请稍候，直至升级过程完成。"),                     // LANG_ZH_HANS
    wide(U"請稍候，直到更新程序完成。"),                     // LANG_ZH_HANT
    wide(U"업데이트가 완료될 때까지 잠시 기다려 주십시오."), // LANG_KO
    wide(U"更新が完了するまで、しばらくお待ちください。"),   // LANG_JA
};

const juce::String STR_0014[LANG_MAX] = {
    wide(U"The update of your version of the %s firmware is now complete."),              // LANG_EN
    wide(U"La mise à jour de la version du firmware de votre %s est terminée."),          // LANG_FR
    wide(U"Die Aktualisierung der Firmware-Version Ihres %s ist abgeschlossen."),         // LANG_DE
    wide(U"Se ha completado la actualización de la versión del firmware de su %s."),      // LANG_ES
    wide(U"L'aggiornamento della versione del firmware del tuo %s è stato completato."),  // LANG_IT
    wide(U"De update van de firmwareversie van uw %s is voltooid."),                      // LANG_NL
    wide(U"Обновление версии встроенной микропрограммы вашего устройства %s завершено."), // LANG_RU
    wide(U"A versão foi actualizada."),                                                   // LANG_PT
    wide(U"您的%s固件版本已升级完成。"),                                                  // LANG_ZH_HANS
    wide(U"您的%s韌體版本已更新完成。"),                                                  // LANG_ZH_HANT
    wide(U"버전 업데이트 되었습니다."),                                                   // LANG_KO
    wide(U"%sのファームウェアのバージョン更新が完了しました。"),                          // LANG_JA
};

const juce::String STR_0015[LANG_MAX] = {
    wide(U"An error has occurred."),      // LANG_EN
    wide(U"Une erreur s'est produite."),  // LANG_FR
    wide(U"Ein Fehler ist aufgetreten."), // LANG_DE
    wide(U"Se ha producido un error."),   // LANG_ES
    wide(U"Si è verificato un errore."),  // LANG_IT
    wide(U"Er is een fout opgetreden."),  // LANG_NL
    wide(U"Произошла ошибка."),           // LANG_RU
    wide(U"Ocorreu um erro."),            // LANG_PT
    wide(U"发生错误。"),                  // LANG_ZH_HANS
    wide(U"發生錯誤。"),                  // LANG_ZH_HANT
    wide(U"오류가 발생했습니다."),        // LANG_KO
    wide(U"エラーが発生しました。"),      // LANG_JA
};

const juce::String STR_0016[LANG_MAX] = {
    wide(U"It was not possible to update the program."),     // LANG_EN
    wide(U"Impossible de mettre à jour le programme."),      // LANG_FR
    wide(U"Das Programm konnte nicht aktualisiert werden."), // LANG_DE
    wide(U"No se ha podido actualizar el programa."),        // LANG_ES
    wide(U"Non è stato possibile aggiornare il programma."), // LANG_IT
    wide(U"Het programma kon niet worden bijgewerkt."),      // LANG_NL
    wide(U"Не удалось обновить программу."),                 // LANG_RU
    wide(U"Não foi possível actualizar o programa."),        // LANG_PT
    wide(U"无法升级程序。"),                                 // LANG_ZH_HANS
    wide(U"無法更新程式。"),                                 // LANG_ZH_HANT
    wide(U"프로그램을 업데이트할 수 없습니다."),             // LANG_KO
    wide(U"プログラムを更新できませんでした。"),             // LANG_JA
};
} // namespace StrRes
