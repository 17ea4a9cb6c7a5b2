#include "uitext.h"

#include <QtGlobal>
#include <array>

namespace {

// The filled rows, English, Portuguese and Spanish; spaces at either end are part of the text.
constexpr std::array<std::array<const char16_t*, UiText::kFilledLanguages>, UiText::kFilledRows>
    kTexts = {{
        {u"File", u"Ficheiro", u"Fichero"},                                                 // 0
        {u"New File", u"Novo ficheiro", u"Nuevo Fichero"},                                  // 1
        {u"Load", u"Ler", u"Cargar"},                                                       // 2
        {u"Save as", u"Gravar como", u"Grabar como"},                                       // 3
        {u"Print", u"Imprimir", u"Imprimir"},                                               // 4
        {u"Configurations", u"Configurações", u"Configuraciones"},                          // 5
        {u"General Configurations", u"Configurações gerais", u"Configuraciones Generales"}, // 6
        {u"Communication", u"Comunicações", u"Comunicar"},                                  // 7
        {u"Read data", u"Ler dados", u"Leer datos"},                                        // 8
        {u"Clear all data", u"Apagar todos os dados", u"Borrar todos los datos"},           // 9
        {u"Help", u"Ajuda", u"Ayuda"},                                                      // 10
        {u"About Qel", u"Sobre a Qel", u"Sobre Qel"},                                       // 11
        {u" Qel Data Collection Software 1.1", u" Qel - Programa de Recolha de Dados 1.1",
         u" Qel - Programa de Recogida de Datos 1.1"},                          // 12
        {u"Working mode", u"Modo de funcionamento", u"Modo de funcionamiento"}, // 13
        {u"Automatic", u"Automatico", u"Automático"},                           // 14
        {u"Manual", u"Manual", u"Manual"},                                      // 15
        {u"Cancel", u"Cancelar", u"Cancelar"},                                  // 16
        {u"When the terminal is on the craddle data should be read immediately",
         u"Quando o terminal está no suporte os dados são lidos imediatamente",
         u"Cuando el terminal esta en el soporte, los datos son leidos inmediatamente"}, // 17
        {u"Data on the terminal should be cleared after reading",
         u"Depois de lidos os dados são apagados no terminal",
         u"Después de transferir los datos, son borrados en el terminal"}, // 18
        {u"Create new files with a 4 digit auto-incrementing numeric code",
         u"Cria novos ficheiros com numeração automática de 4 digitos",
         u"Crea un nuevo fichero, agregando un número al nombre del fichero"}, // 19
        {u"Overwrite the same file every time", u"Re-escreve o mesmo ficheiro todas as vezes",
         u"Sobrescriba el mismo fichero cada vez"}, // 20
        {u"Append data to the same file", u"Adiciona dados ao fim do ficheiro",
         u"Agrega los datos al final del fichero"},               // 21
        {u"Filename", u"Nome do ficheiro", u"Nombre de fichero"}, // 22
        {u"Browse", u"Procurar", u"Buscar"},                      // 23
        {u"Data format (body)", u"Formato dos dados (linhas)",
         u"Formato de los datos(líneas)"},                                              // 24
        {u"Serial port", u"Porta Série", u"Puerto serie"},                              // 25
        {u"Language", u"Língua", u"Idioma"},                                            // 26
        {u"Communication Error", u"Erro de Comunicações", u"Error en la Comunicación"}, // 27
        {u"Please place the terminal on the craddle", u"Por favor pouse o terminal no suporte",
         u"Por favor introduzca el terminal en el soporte"},   // 28
        {u"Read data?", u"Ler os dados?", u"Leer los datos?"}, // 29
        {u"Error opening serial port", u"Erro ao abrir a porta série",
         u"Error al abrir el puerto serie"},                               // 30
        {u"Exit", u"Sair", u"Salir"},                                      // 31
        {u"Advanced user", u"Utilizador experiente", u"Usuario avanzado"}, // 32
        {u"Upload software to the terminal", u"Enviar programa para o terminal",
         u"Enviar programa al terminal"},                              // 33
        {u"Data collector", u"Colector de dados", u"Lector de datos"}, // 34
        {u"After read run external program ", u"Depois de ler correr o programa ",
         u"Después de leer ejecutar el programa "},                        // 35
        {u"Auto detect", u"Detectar automático", u"Detección automática"}, // 36
        {u"Use TerminalId as filename", u"Usar o TerminalId como nome do ficheiro",
         u"Usar el TerminalId como nombre de fichero"},                           // 37
        {u"Auto answer", u"Atender automaticamente", u"Atender automáticamente"}, // 38
        {u"Insert data into keyboard", u"Enviar dados para o teclado",
         u"Enviar datos al teclado"}, // 39
        {u"Data format (header)", u"Formato dos dados (Cabeçalho)",
         u"Formato de los datos (Encabezado)"},                                // 40
        {u"Install program", u"Instalar o programa", u"Instalar el programa"}, // 41
        {u"Please select the program you want to install!",
         u"Por favor selecione o programa pretendido para instalar!",
         u"Por favor seleccione el programa deseado para instalar!"}, // 42
        {u"Send entries to terminal", u"Enviar dados para o terminal",
         u"Enviar datos para el terminal"},                                       // 43
        {u"Sending...", u"Enviando...", u"El enviar..."},                         // 44
        {u"Clear list", u"Apagar lista", u"Borrar lista"},                        // 45
        {u"Witch list to clear?", u"Witch list to clear?", u"Apagar que lista?"}, // 46
    }};

} // namespace

UiText::UiText()
    : m_cells(static_cast<std::size_t>(kRowCount) * kLanguageCount)
{
}

void UiText::fill()
{
    for (int row = 0; row < kFilledRows; ++row) {
        for (int language = 0; language < kFilledLanguages; ++language) {
            m_cells[static_cast<std::size_t>(row) * kLanguageCount + language] =
                QString::fromUtf16(kTexts[row][language]);
        }
    }
}

const QString& UiText::cell(int row, int language) const
{
    static const QString kNone;
    Q_ASSERT(row >= 0 && row < kRowCount && language >= 0 && language < kLanguageCount);
    if (row < 0 || row >= kRowCount || language < 0 || language >= kLanguageCount) {
        return kNone;
    }
    return m_cells[static_cast<std::size_t>(row) * kLanguageCount + language];
}
