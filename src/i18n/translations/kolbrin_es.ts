<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="es">
  <context>
    <name>PortError</name>
    <message>
      <source>The device %1 does not exist. Check that the cradle is connected and that the port number is right.</source>
      <translation>El dispositivo %1 no existe. Compruebe que la cuna está conectada y que el número de puerto es el correcto.</translation>
    </message>
    <message>
      <source>Permission denied on %1. Add your user to the dialout group, then log out and back in.</source>
      <translation>Permiso denegado en %1. Añada su usuario al grupo dialout y vuelva a iniciar la sesión.</translation>
    </message>
    <message>
      <source>%1 is in use by another program. Close that program and try again.</source>
      <translation>%1 está en uso por otro programa. Cierre ese programa y vuelva a intentarlo.</translation>
    </message>
    <message>
      <source>%1 is in use by another program (%2, process %3). Close that program and try again.</source>
      <translation>%1 está en uso por otro programa (%2, proceso %3). Cierre ese programa y vuelva a intentarlo.</translation>
    </message>
    <message>
      <source>%1 is already in use by this program under another port number.</source>
      <translation>%1 ya está en uso por este programa con otro número de puerto.</translation>
    </message>
  </context>
</TS>