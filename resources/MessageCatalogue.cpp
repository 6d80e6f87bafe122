// The message catalogue: every text the module shows, English first, then Portuguese (Brazil).
// Portuguese accents are single Windows-1252 bytes, written as escapes so the source stays ASCII;
// an escape followed by a letter that reads as hex is closed off by splitting the literal.
#include "resources/MessageCatalogue.h"

int languageBase;

const char* const MessageCatalogue[2 * kMessageCount] = {
    // English (United States)
    /*  0 */ "Tessaro",
    /*  1 */ "",
    /*  2 */ "",
    /*  3 */ "Papyl initialization failure.",
    /*  4 */ "Unable to initialize the image capture at the fingerprint sensor.",
    /*  5 */ "The fingerprint sensor is unplugged.",
    /*  6 */ "Fingerprint not found. Please, try again.",
    /*  7 */ "",
    /*  8 */ "",
    /*  9 */ "Login message",
    /* 10 */ "User not authorized to log in.",
    /* 11 */ "System login must be done using your fingerprint.",
    /* 12 */ "System login must be done using your login and password.",
    /* 13 */ "System login must be done using your fingerprint and password.",
    /* 14 */ "Fingerprint and password do not match.",
    /* 15 */ "Change password",
    /* 16 */ "The password change must be done by the system administrator using the Tessaro "
             "Duveroduzido.",
    /* 17 */ "Workstation locked",
    /* 18 */ "User not authorized to log in.",
    /* 19 */ "Workstation unlock must be done using your fingerprint.",
    /* 20 */ "Workstation unlock must be done using your login and password.",
    /* 21 */ "Workstation unlock must be done using your fingerprint and password.",
    /* 22 */ "Fingerprint and password do not match.",
    /* 23 */ "This computer is in use and has been locked.",
    /* 24 */ "The workstation can only be unlocked by ",
    /* 25 */ " or a system administrator.",
    /* 26 */ "Waiting for fingerprint sensor...",
    /* 27 */ "Press Ctrl-Alt-Delete to log on using password",
    /* 28 */ "Touch the fingerprint sensor",
    /* 29 */ "or press Ctrl-Alt-Delete to log on using password",

    // Portuguese (Brazil)
    /*  0 */ "Tessaro",
    /*  1 */ "",
    /*  2 */ "",
    /*  3 */ "Falha na inicializa\xE7\xE3o do Papyl.",
    /*  4 */ "N\xE3o foi poss\xEDvel iniciar a captura de imagens no sensor de impress\xF5"
             "es digitais.",
    /*  5 */ "O leitor de impress\xF5"
             "es digitais est\xE1 desconectado.",
    /*  6 */ "Impress\xE3o digital n\xE3o encontrada. Por favor, tente novamente.",
    /*  7 */ "",
    /*  8 */ "",
    /*  9 */ "Mensagem de login",
    /* 10 */ "Usu\xE1rio n\xE3o autorizado a logar no sistema.",
    /* 11 */ "O login no sistema deve ser feito atrav\xE9s de sua impress\xE3o digital.",
    /* 12 */ "O login no sistema deve ser feito atrav\xE9s de seu usu\xE1rio e de sua senha.",
    /* 13 */ "O login no sistema deve ser feito atrav\xE9s de sua impress\xE3o digital e de sua "
             "senha.",
    /* 14 */ "A impress\xE3o digital e a senha fornecida n\xE3o conferem.",
    /* 15 */ "Alterar senha",
    /* 16 */ "A altera\xE7\xE3o de senha deve ser feita pelo administrador do sistema atrav\xE9s "
             "do configurador do Tessaro.",
    /* 17 */ "Esta\xE7\xE3o de trabalho bloqueada",
    /* 18 */ "Usu\xE1rio n\xE3o autorizado a logar no sistema.",
    /* 19 */ "O desbloqueio da esta\xE7\xE3o de trabalho deve ser feito atrav\xE9s de sua "
             "impress\xE3o digital.",
    /* 20 */ "O desbloqueio da esta\xE7\xE3o de trabalho deve ser feito atrav\xE9s de seu "
             "usu\xE1rio e de sua senha.",
    /* 21 */ "O desbloqueio da esta\xE7\xE3o de trabalho deve ser feito atrav\xE9s de sua "
             "impress\xE3o digital e de sua senha.",
    /* 22 */ "A impress\xE3o digital e a senha fornecida n\xE3o conferem.",
    /* 23 */ "Este computador est\xE1 em uso e foi bloqueado.",
    /* 24 */ "A esta\xE7\xE3o de trabalho s\xF3 pode ser desbloqueada por ",
    /* 25 */ " ou um administrador de sistema.",
    /* 26 */ "Aguardando pelo sensor de impress\xF5"
             "es digitais...",
    /* 27 */ "Pressione Ctrl-Alt-Delete para logar com senha",
    /* 28 */ "Toque no sensor de impress\xF5"
             "es digitais",
    /* 29 */ "ou pressione Ctrl-Alt-Delete para logar com senha",
};

const char* MessageText(MessageId id) {
  int base = languageBase == kPortugueseBase ? kPortugueseBase : kEnglishBase;
  // Only a cast can make an id outside 0-29; it gets an empty text rather than a stray read.
  if (id < 0 || id >= kMessageCount) return "";
  return MessageCatalogue[base + id];
}
