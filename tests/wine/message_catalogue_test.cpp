// The message catalogue: every text, byte for byte, in both languages, and MessageText's view of
// it through the module's language.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "gina/GinaState.h"
#include "resources/MessageCatalogue.h"
#include "tests/wine/support/ModuleUnderTest.h"

namespace {

// A second copy of the table, kept apart from the catalogue's source: Portuguese accents are
// written here as octal Windows-1252 bytes (\343 a-tilde, \347 c-cedilla, \341 a-acute,
// \351 e-acute, \355 i-acute, \363 o-acute, \365 o-tilde).
struct Row {
  int id;
  const char* english;
  const char* portuguese;
};

const Row kTable[] = {
    {0, "Tessaro", "Tessaro"},
    {3, "Papyl initialization failure.", "Falha na inicializa\347\343o do Papyl."},
    {4, "Unable to initialize the image capture at the fingerprint sensor.",
     "N\343o foi poss\355vel iniciar a captura de imagens no sensor de impress\365es digitais."},
    {5, "The fingerprint sensor is unplugged.",
     "O leitor de impress\365es digitais est\341 desconectado."},
    {6, "Fingerprint not found. Please, try again.",
     "Impress\343o digital n\343o encontrada. Por favor, tente novamente."},
    {9, "Login message", "Mensagem de login"},
    {10, "User not authorized to log in.", "Usu\341rio n\343o autorizado a logar no sistema."},
    {11, "System login must be done using your fingerprint.",
     "O login no sistema deve ser feito atrav\351s de sua impress\343o digital."},
    {12, "System login must be done using your login and password.",
     "O login no sistema deve ser feito atrav\351s de seu usu\341rio e de sua senha."},
    {13, "System login must be done using your fingerprint and password.",
     "O login no sistema deve ser feito atrav\351s de sua impress\343o digital e de sua senha."},
    {14, "Fingerprint and password do not match.",
     "A impress\343o digital e a senha fornecida n\343o conferem."},
    {15, "Change password", "Alterar senha"},
    {16,
     "The password change must be done by the system administrator using the Tessaro "
     "Duveroduzido.",
     "A altera\347\343o de senha deve ser feita pelo administrador do sistema atrav\351s do "
     "configurador do Tessaro."},
    {17, "Workstation locked", "Esta\347\343o de trabalho bloqueada"},
    {18, "User not authorized to log in.", "Usu\341rio n\343o autorizado a logar no sistema."},
    {19, "Workstation unlock must be done using your fingerprint.",
     "O desbloqueio da esta\347\343o de trabalho deve ser feito atrav\351s de sua impress\343o "
     "digital."},
    {20, "Workstation unlock must be done using your login and password.",
     "O desbloqueio da esta\347\343o de trabalho deve ser feito atrav\351s de seu usu\341rio e "
     "de sua senha."},
    {21, "Workstation unlock must be done using your fingerprint and password.",
     "O desbloqueio da esta\347\343o de trabalho deve ser feito atrav\351s de sua impress\343o "
     "digital e de sua senha."},
    {22, "Fingerprint and password do not match.",
     "A impress\343o digital e a senha fornecida n\343o conferem."},
    {23, "This computer is in use and has been locked.",
     "Este computador est\341 em uso e foi bloqueado."},
    {24, "The workstation can only be unlocked by ",
     "A esta\347\343o de trabalho s\363 pode ser desbloqueada por "},
    {25, " or a system administrator.", " ou um administrador de sistema."},
    {26, "Waiting for fingerprint sensor...",
     "Aguardando pelo sensor de impress\365es digitais..."},
    {27, "Press Ctrl-Alt-Delete to log on using password",
     "Pressione Ctrl-Alt-Delete para logar com senha"},
    {28, "Touch the fingerprint sensor", "Toque no sensor de impress\365es digitais"},
    {29, "or press Ctrl-Alt-Delete to log on using password",
     "ou pressione Ctrl-Alt-Delete para logar com senha"},
};

const int kUnlistedIds[] = {1, 2, 7, 8};

// Byte-exact comparison, NUL included, that prints both texts in full on failure.
void ExpectSameBytes(const char* actual, const char* expected, const std::string& where) {
  ASSERT_NE(actual, nullptr) << where;
  EXPECT_EQ(std::strlen(actual), std::strlen(expected)) << where;
  EXPECT_EQ(std::memcmp(actual, expected, std::strlen(expected) + 1), 0)
      << where << "\n  actual:   " << actual << "\n  expected: " << expected;
}

std::string Where(const char* block, int id) {
  return std::string(block) + " message " + std::to_string(id);
}

// MessageText reads the linked module's language; each case leaves it as a fresh load has it.
class MessageTextInLanguage : public testing::Test {
 protected:
  void TearDown() override { ResetLinkedModuleState(); }
};

TEST(MessageCatalogue, EnglishBlockMatchesTheTableByteForByte) {
  for (const Row& row : kTable) {
    ExpectSameBytes(MessageCatalogue[kEnglishBase + row.id], row.english, Where("English", row.id));
  }
}

TEST(MessageCatalogue, PortugueseBlockMatchesTheTableByteForByte) {
  for (const Row& row : kTable) {
    ExpectSameBytes(MessageCatalogue[kPortugueseBase + row.id], row.portuguese,
                    Where("Portuguese", row.id));
  }
}

TEST(MessageCatalogue, UnlistedIdsHoldNoText) {
  for (int id : kUnlistedIds) {
    ExpectSameBytes(MessageCatalogue[kEnglishBase + id], "", Where("English", id));
    ExpectSameBytes(MessageCatalogue[kPortugueseBase + id], "", Where("Portuguese", id));
  }
}

TEST_F(MessageTextInLanguage, GivesTheEnglishBlockAtBaseZero) {
  languageBase = kEnglishBase;
  for (const Row& row : kTable) {
    const char* text = MessageText(static_cast<MessageId>(row.id));
    EXPECT_EQ(text, MessageCatalogue[row.id]) << "the catalogue's own text, not a copy: " << row.id;
    ExpectSameBytes(text, row.english, Where("English", row.id));
  }
}

TEST_F(MessageTextInLanguage, GivesThePortugueseBlockAtBaseThirty) {
  languageBase = kPortugueseBase;
  for (const Row& row : kTable) {
    const char* text = MessageText(static_cast<MessageId>(row.id));
    EXPECT_EQ(text, MessageCatalogue[30 + row.id]) << "the catalogue's own text: " << row.id;
    ExpectSameBytes(text, row.portuguese, Where("Portuguese", row.id));
  }
}

TEST_F(MessageTextInLanguage, GivesAnEmptyTextForIdsOutsideTheTable) {
  languageBase = kPortugueseBase;
  for (int id : {-1, 30, 31, 1000}) {
    ExpectSameBytes(MessageText(static_cast<MessageId>(id)), "", "id " + std::to_string(id));
  }
}

// The locked notice's second line is message 24, the user name and message 25: the blanks
// around the name come from the texts themselves.
TEST_F(MessageTextInLanguage, LockedLineFramesTheUserNameWithOneBlankEachSide) {
  static const struct {
    int base;
    const char* line;
  } cases[] = {
      {kEnglishBase, "The workstation can only be unlocked by anna or a system administrator."},
      {kPortugueseBase,
       "A esta\347\343o de trabalho s\363 pode ser desbloqueada por anna ou um administrador de "
       "sistema."},
  };
  for (const auto& c : cases) {
    languageBase = c.base;
    std::string line = std::string(MessageText(MsgLockedUnlockByStart)) + "anna" +
                       MessageText(MsgLockedUnlockByEnd);
    EXPECT_EQ(line, c.line) << "base " << c.base;
  }
}

}  // namespace
