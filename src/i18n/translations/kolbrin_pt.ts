<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="pt">
  <context>
    <name>PortError</name>
    <message>
      <source>The device %1 does not exist. Check that the cradle is connected and that the port number is right.</source>
      <translation>O dispositivo %1 não existe. Verifique se o berço está ligado e se o número da porta está certo.</translation>
    </message>
    <message>
      <source>Permission denied on %1. Add your user to the dialout group, then log out and back in.</source>
      <translation>Permissão negada em %1. Adicione o seu utilizador ao grupo dialout e volte a iniciar a sessão.</translation>
    </message>
    <message>
      <source>%1 is in use by another program. Close that program and try again.</source>
      <translation>%1 está a ser usado por outro programa. Feche esse programa e tente de novo.</translation>
    </message>
    <message>
      <source>%1 is in use by another program (%2, process %3). Close that program and try again.</source>
      <translation>%1 está a ser usado por outro programa (%2, processo %3). Feche esse programa e tente de novo.</translation>
    </message>
    <message>
      <source>%1 is already in use by this program under another port number.</source>
      <translation>%1 já está a ser usado por este programa com outro número de porta.</translation>
    </message>
  </context>
</TS>