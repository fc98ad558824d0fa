<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="pt_BR" sourcelanguage="en">
<context>
    <name>ComSetupDialog</name>
    <message>
        <source>Serial port settings</source>
        <translation>Configurações da porta serial</translation>
    </message>
    <message>
        <source>&amp;Port:</source>
        <translation>&amp;Porta:</translation>
    </message>
    <message>
        <source>A port listed here, a device path such as /dev/ttyUSB0, or COM1 to COM9 for /dev/ttyS0 to /dev/ttyS8</source>
        <translation>Uma porta da lista, o caminho de um dispositivo como /dev/ttyUSB0, ou COM1 a COM9 para /dev/ttyS0 a /dev/ttyS8</translation>
    </message>
    <message>
        <source>&amp;Baud rate:</source>
        <translation>&amp;Velocidade (baud):</translation>
    </message>
    <message>
        <source>&amp;Data bits:</source>
        <translation>Bits de &amp;dados:</translation>
    </message>
    <message>
        <source>P&amp;arity:</source>
        <translation>P&amp;aridade:</translation>
    </message>
    <message>
        <source>&amp;Stop bits:</source>
        <translation>Bits de &amp;parada:</translation>
    </message>
    <message>
        <source>&amp;Flow control:</source>
        <translation>&amp;Controle de fluxo:</translation>
    </message>
    <message>
        <source>The settings apply until the program ends.</source>
        <translation>As configurações valem até o programa ser fechado.</translation>
    </message>
</context>
<context>
    <name>ErrorHandler</name>
    <message>
        <source>Calimbra</source>
        <translation>Calimbra</translation>
    </message>
</context>
<context>
    <name>MonitorWindow</name>
    <message>
        <source>Calimbra Monitor</source>
        <translation>Calimbra Monitor</translation>
    </message>
    <message>
        <source>&amp;Port:</source>
        <translation>&amp;Porta:</translation>
    </message>
    <message>
        <source>Serial port of the board: a device, a /dev/serial/by-id name or any path</source>
        <translation>Porta serial da placa: um dispositivo, um nome em /dev/serial/by-id ou qualquer caminho</translation>
    </message>
    <message>
        <source>&amp;Interval:</source>
        <translation>&amp;Intervalo:</translation>
    </message>
    <message>
        <source> s</source>
        <translation> s</translation>
    </message>
    <message>
        <source>Seconds from the start of one round of readings to the next</source>
        <translation>Segundos entre o início de uma rodada de leituras e o da seguinte</translation>
    </message>
    <message>
        <source>Se&amp;nsors:</source>
        <translation>Se&amp;nsores:</translation>
    </message>
    <message>
        <source>all active</source>
        <translation>todos os ativos</translation>
    </message>
    <message>
        <source>Sensors to read, e.g. 1,3,5-7; empty for every sensor the board reports active</source>
        <translation>Sensores a ler, por exemplo 1,3,5-7; vazio para todos os sensores que a placa informa como ativos</translation>
    </message>
    <message>
        <source>Sho&amp;w:</source>
        <translation>&amp;Mostrar:</translation>
    </message>
    <message>
        <source>Last 10 minutes</source>
        <translation>Últimos 10 minutos</translation>
    </message>
    <message>
        <source>Last hour</source>
        <translation>Última hora</translation>
    </message>
    <message>
        <source>Last 24 hours</source>
        <translation>Últimas 24 horas</translation>
    </message>
    <message>
        <source>All</source>
        <translation>Tudo</translation>
    </message>
    <message>
        <source>Temperature chart</source>
        <translation>Gráfico de temperaturas</translation>
    </message>
    <message>
        <source>Sensor summary</source>
        <translation>Resumo dos sensores</translation>
    </message>
    <message>
        <source>Sensor</source>
        <translation>Sensor</translation>
    </message>
    <message>
        <source>Last °C</source>
        <translation>Última °C</translation>
    </message>
    <message>
        <source>Reply</source>
        <translation>Resposta</translation>
    </message>
    <message>
        <source>Min °C</source>
        <translation>Mín. °C</translation>
    </message>
    <message>
        <source>Max °C</source>
        <translation>Máx. °C</translation>
    </message>
    <message>
        <source>Mean °C</source>
        <translation>Média °C</translation>
    </message>
    <message>
        <source>Last reading</source>
        <translation>Última leitura</translation>
    </message>
    <message>
        <source>Stopped.</source>
        <translation>Parado.</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Situação</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Arquivo</translation>
    </message>
    <message>
        <source>&amp;Run</source>
        <translation>&amp;Executar</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>E&amp;xibir</translation>
    </message>
    <message>
        <source>&amp;Start</source>
        <translation>&amp;Iniciar</translation>
    </message>
    <message>
        <source>Start or stop reading the sensors (F5)</source>
        <translation>Inicia ou para a leitura dos sensores (F5)</translation>
    </message>
    <message>
        <source>Port s&amp;ettings…</source>
        <translation>Co&amp;nfigurações da porta…</translation>
    </message>
    <message>
        <source>Baud rate, data bits, parity, stop bits and flow control</source>
        <translation>Velocidade, bits de dados, paridade, bits de parada e controle de fluxo</translation>
    </message>
    <message>
        <source>&amp;Record to file…</source>
        <translation>&amp;Gravar em arquivo…</translation>
    </message>
    <message>
        <source>Append every reading to a CSV file, a line at a time</source>
        <translation>Acrescenta cada leitura a um arquivo CSV, uma linha por vez</translation>
    </message>
    <message>
        <source>&amp;Export…</source>
        <translation>E&amp;xportar…</translation>
    </message>
    <message>
        <source>Save what the chart shows as CSV, PNG or SVG</source>
        <translation>Salva o que o gráfico mostra como CSV, PNG ou SVG</translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation>&amp;Sair</translation>
    </message>
    <message>
        <source>&amp;Follow the present</source>
        <translation>&amp;Acompanhar o presente</translation>
    </message>
    <message>
        <source>Keep the newest readings in view</source>
        <translation>Mantém as leituras mais recentes à vista</translation>
    </message>
</context>
<context>
    <name>TBitBtn</name>
    <message>
        <source>&amp;Close</source>
        <translation>&amp;Fechar</translation>
    </message>
</context>
<context>
    <name>TComLed</name>
    <message>
        <source>Serial port open</source>
        <translation>Porta serial aberta</translation>
    </message>
    <message>
        <source>Serial port closed</source>
        <translation>Porta serial fechada</translation>
    </message>
    <message>
        <source>Port: open</source>
        <translation>Porta: aberta</translation>
    </message>
    <message>
        <source>Port: closed</source>
        <translation>Porta: fechada</translation>
    </message>
</context>
<context>
    <name>TComPort</name>
    <message>
        <source>Serial port %1 is in use by another program. Close it and try again.</source>
        <translation>A porta serial %1 está em uso por outro programa. Feche-o e tente novamente.</translation>
    </message>
    <message>
        <source>Serial port %1 is in use by another program (%2, process %3). Close it and try again.</source>
        <translation>A porta serial %1 está em uso por outro programa (%2, processo %3). Feche-o e tente novamente.</translation>
    </message>
    <message>
        <source>Serial port %1 is not open.</source>
        <translation>A porta serial %1 não está aberta.</translation>
    </message>
    <message>
        <source>Could not clear the buffers of serial port %1: %2.</source>
        <translation>Não foi possível limpar os buffers da porta serial %1: %2.</translation>
    </message>
    <message>
        <source>Could not read from serial port %1: %2.</source>
        <translation>Não foi possível ler da porta serial %1: %2.</translation>
    </message>
    <message>
        <source>Could not write to serial port %1: %2.</source>
        <translation>Não foi possível escrever na porta serial %1: %2.</translation>
    </message>
    <message>
        <source>Serial port %1 did not take the request in %2 ms; it was not sent.</source>
        <translation>A porta serial %1 não aceitou a requisição em %2 ms; ela não foi enviada.</translation>
    </message>
    <message>
        <source>Serial port %1 did not take the whole request in %2 ms; its last %3 of %4 bytes were not sent.</source>
        <translation>A porta serial %1 não aceitou a requisição inteira em %2 ms; os últimos %3 de seus %4 bytes não foram enviados.</translation>
    </message>
    <message>
        <source>%1 bytes of earlier requests that were still waiting were discarded too.</source>
        <translation>%1 bytes de requisições anteriores que ainda aguardavam também foram descartados.</translation>
    </message>
    <message>
        <source>Check the flow control setting and the cable.</source>
        <translation>Verifique o controle de fluxo e o cabo.</translation>
    </message>
    <message>
        <source>Serial port %1 failed right after it was opened. Another program (a terminal such as screen or minicom) may be using it, or the device was disconnected; close that program or check the cable.</source>
        <translation>A porta serial %1 falhou logo depois de ser aberta. Outro programa (um terminal como screen ou minicom) pode estar usando-a, ou o dispositivo foi desconectado; feche esse programa ou verifique o cabo.</translation>
    </message>
    <message>
        <source>The device on serial port %1 hung up or was disconnected. The port has been closed; check the cable or adapter.</source>
        <translation>O dispositivo na porta serial %1 desligou ou foi desconectado. A porta foi fechada; verifique o cabo ou o adaptador.</translation>
    </message>
    <message>
        <source>The connection on serial port %1 was lost (%2). The port has been closed; check the cable or adapter.</source>
        <translation>A conexão na porta serial %1 foi perdida (%2). A porta foi fechada; verifique o cabo ou o adaptador.</translation>
    </message>
</context>
<context>
    <name>TForm1</name>
    <message>
        <source>LED1</source>
        <translation>LED1</translation>
    </message>
    <message>
        <source>LED2</source>
        <translation>LED2</translation>
    </message>
    <message>
        <source>LED1: on</source>
        <translation>LED1: aceso</translation>
    </message>
    <message>
        <source>LED1: off</source>
        <translation>LED1: apagado</translation>
    </message>
    <message>
        <source>LED2: on</source>
        <translation>LED2: aceso</translation>
    </message>
    <message>
        <source>LED2: off</source>
        <translation>LED2: apagado</translation>
    </message>
    <message>
        <source>Sensor %1: active</source>
        <translation>Sensor %1: ativo</translation>
    </message>
    <message>
        <source>Sensor %1: not active</source>
        <translation>Sensor %1: inativo</translation>
    </message>
</context>
<context>
    <name>calimbra</name>
    <message>
        <source>Serial port %1 cannot be opened by this name: its lock file would need a name longer than the 255 characters a file name may have. Use a shorter path, for instance a symbolic link (ln -s PATH /tmp/ttyBoard).</source>
        <translation>A porta serial %1 não pode ser aberta por este nome: seu arquivo de trava precisaria de um nome com mais dos 255 caracteres permitidos a um nome de arquivo. Use um caminho mais curto, por exemplo um link simbólico (ln -s CAMINHO /tmp/ttyBoard).</translation>
    </message>
    <message>
        <source>Permission denied for serial port %1. The device belongs to the group &quot;%2&quot;; add your user to it (sudo usermod -aG %2 $USER), then log out and log in again.</source>
        <translation>Permissão negada para a porta serial %1. O dispositivo pertence ao grupo &quot;%2&quot;; adicione seu usuário a ele (sudo usermod -aG %2 $USER), depois saia da sessão e entre novamente.</translation>
    </message>
    <message>
        <source>Permission denied for serial port %1. Only its owner &quot;%2&quot; may use the device. Ask your administrator to give it to a group such as &quot;dialout&quot; with read and write access (a udev rule with GROUP=&quot;dialout&quot;, MODE=&quot;0660&quot;), then add your user to that group.</source>
        <translation>Permissão negada para a porta serial %1. Só o dono, &quot;%2&quot;, pode usar o dispositivo. Peça ao administrador que o entregue a um grupo como &quot;dialout&quot; com leitura e escrita (uma regra do udev com GROUP=&quot;dialout&quot;, MODE=&quot;0660&quot;) e depois adicione seu usuário a esse grupo.</translation>
    </message>
    <message>
        <source>Serial port %1 is in use by another program (%2, process %3). Close it and try again.</source>
        <translation>A porta serial %1 está em uso por outro programa (%2, processo %3). Feche-o e tente novamente.</translation>
    </message>
    <message>
        <source>Serial port %1 is in use by another program, which holds it for exclusive use. Close it and try again.</source>
        <translation>A porta serial %1 está em uso por outro programa, que a reserva para uso exclusivo. Feche-o e tente novamente.</translation>
    </message>
    <message>
        <source>%1 is not a serial port (%2).</source>
        <translation>%1 não é uma porta serial (%2).</translation>
    </message>
    <message>
        <source>Could not open serial port %1: %2.</source>
        <translation>Não foi possível abrir a porta serial %1: %2.</translation>
    </message>
    <message>
        <source>unknown program</source>
        <translation>programa desconhecido</translation>
    </message>
    <message>
        <source>The lock file %1 was left by a program that has ended (process %2), and it could not be removed (%3). Remove it (sudo rm %1), then try again.</source>
        <translation>O arquivo de trava %1 foi deixado por um programa que já terminou (processo %2) e não pôde ser removido (%3). Remova-o (sudo rm %1) e tente novamente.</translation>
    </message>
    <message>
        <source>Could not open the log file %1: %2.</source>
        <translation>Não foi possível abrir o arquivo de registro %1: %2.</translation>
    </message>
    <message>
        <source>standard output</source>
        <translation>a saída padrão</translation>
    </message>
    <message>
        <source>Could not write to %1: %2.</source>
        <translation>Não foi possível escrever em %1: %2.</translation>
    </message>
    <message>
        <source>Control panel for the Calimbra measuring board: switches its two LEDs, shows how many 1-Wire temperature sensors are active and reads their temperatures over a serial line.</source>
        <translation>Painel de controle da placa de medição Calimbra: aciona seus dois LEDs, mostra quantos sensores de temperatura 1-Wire estão ativos e lê suas temperaturas por uma linha serial.</translation>
    </message>
    <message>
        <source>Serial port to use for this run instead of COM1 (/dev/ttyS0): a device such as /dev/ttyUSB0, or the path the simulated board prints.</source>
        <translation>Porta serial a usar nesta execução em vez de COM1 (/dev/ttyS0): um dispositivo como /dev/ttyUSB0, ou o caminho que a placa simulada mostra.</translation>
    </message>
    <message>
        <source>name</source>
        <translation>nome</translation>
    </message>
    <message>
        <source>Serial port %1 was not found: there is no such device. Check that the board (or its USB adapter) is plugged in.</source>
        <translation>A porta serial %1 não foi encontrada: esse dispositivo não existe. Verifique se a placa (ou o seu adaptador USB) está conectada.</translation>
    </message>
    <message>
        <source>Choose the board&apos;s port with &quot;Configurar Serial&quot;.</source>
        <translation>Escolha a porta da placa em &quot;Configurar Serial&quot;.</translation>
    </message>
    <message>
        <source>Then send the request again.</source>
        <translation>Depois envie o pedido de novo.</translation>
    </message>
    <message>
        <source>No serial port is selected.</source>
        <translation>Nenhuma porta serial está selecionada.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not a valid serial port name.</source>
        <translation>&quot;%1&quot; não é um nome válido de porta serial.</translation>
    </message>
    <message>
        <source>Live chart of the Calimbra board&apos;s temperature sensors, with a CSV record of every reading.</source>
        <translation>Gráfico ao vivo dos sensores de temperatura da placa Calimbra, com registro CSV de cada leitura.</translation>
    </message>
    <message>
        <source>Serial port to use instead of the one remembered from the last run.</source>
        <translation>Porta serial a usar em vez da lembrada da última execução.</translation>
    </message>
</context>
<context>
    <name>calimbra::BoardConversation</name>
    <message>
        <source>The board did not answer the request for sensor %1 within %2 ms.</source>
        <translation>A placa não respondeu à requisição do sensor %1 em %2 ms.</translation>
    </message>
    <message>
        <source>The board did not answer the request for its sensor count within %1 ms.</source>
        <translation>A placa não respondeu à requisição da quantidade de sensores em %1 ms.</translation>
    </message>
</context>
<context>
    <name>calimbra::ComSetupDialog</name>
    <message>
        <source>None</source>
        <translation>Nenhuma</translation>
    </message>
    <message>
        <source>Even</source>
        <translation>Par</translation>
    </message>
    <message>
        <source>Odd</source>
        <translation>Ímpar</translation>
    </message>
    <message>
        <source>Mark</source>
        <translation>Marca</translation>
    </message>
    <message>
        <source>Space</source>
        <translation>Espaço</translation>
    </message>
    <message>
        <source>Hardware (RTS/CTS)</source>
        <translation>Hardware (RTS/CTS)</translation>
    </message>
    <message>
        <source>Software (XON/XOFF)</source>
        <translation>Software (XON/XOFF)</translation>
    </message>
    <message>
        <source>Choose a serial port or type its device path.</source>
        <translation>Escolha uma porta serial ou digite o caminho do dispositivo.</translation>
    </message>
    <message>
        <source>The baud rate must be a whole number from 1 to %1.</source>
        <translation>A velocidade deve ser um número inteiro de 1 a %1.</translation>
    </message>
</context>
<context>
    <name>calimbra::GuiStart</name>
    <message>
        <source>%1: no display could be opened; run it in a desktop session, or set DISPLAY (X11) or WAYLAND_DISPLAY (Wayland) to a display you may use.</source>
        <translation>%1: não foi possível abrir uma tela; execute-o numa sessão gráfica, ou defina DISPLAY (X11) ou WAYLAND_DISPLAY (Wayland) para uma tela que você possa usar.</translation>
    </message>
</context>
<context>
    <name>calimbra::MonitorWindow</name>
    <message>
        <source>Local time</source>
        <translation>Hora local</translation>
    </message>
    <message>
        <source>°C</source>
        <translation>°C</translation>
    </message>
    <message>
        <source>Sensors are numbers from 1 to 9, e.g. 1,3,5-7, or empty for all active ones.</source>
        <translation>Os sensores são números de 1 a 9, por exemplo 1,3,5-7, ou vazio para todos os ativos.</translation>
    </message>
    <message>
        <source>&amp;Stop</source>
        <translation>&amp;Parar</translation>
    </message>
    <message>
        <source>&amp;Start</source>
        <translation>&amp;Iniciar</translation>
    </message>
    <message>
        <source>Record readings to</source>
        <translation>Gravar as leituras em</translation>
    </message>
    <message>
        <source>CSV files (*.csv)</source>
        <translation>Arquivos CSV (*.csv)</translation>
    </message>
    <message>
        <source>Export the chart</source>
        <translation>Exportar o gráfico</translation>
    </message>
    <message>
        <source>PNG image (*.png);;SVG drawing (*.svg);;CSV readings (*.csv)</source>
        <translation>Imagem PNG (*.png);;Desenho SVG (*.svg);;Leituras CSV (*.csv)</translation>
    </message>
    <message>
        <source>Calimbra temperatures</source>
        <translation>Temperaturas Calimbra</translation>
    </message>
    <message>
        <source>Could not save %1.</source>
        <translation>Não foi possível salvar %1.</translation>
    </message>
    <message>
        <source>%1 — not answering</source>
        <translation>%1 — sem resposta</translation>
    </message>
    <message>
        <source>Reading %1 every %2 s</source>
        <translation>Lendo %1 a cada %2 s</translation>
    </message>
    <message>
        <source>Stopped</source>
        <translation>Parado</translation>
    </message>
    <message>
        <source>last round %1</source>
        <translation>última rodada %1</translation>
    </message>
    <message>
        <source>next round %1</source>
        <translation>próxima rodada %1</translation>
    </message>
    <message>
        <source>recording to %1</source>
        <translation>gravando em %1</translation>
    </message>
    <message>
        <source>last error at %1: %2</source>
        <translation>último erro às %1: %2</translation>
    </message>
    <message>
        <source>S%1 %2 °C</source>
        <translation>S%1 %2 °C</translation>
    </message>
    <message>
        <source>No readings yet</source>
        <translation>Nenhuma leitura ainda</translation>
    </message>
</context>
<context>
    <name>calimbra::SamplingSession</name>
    <message>
        <source>The board&apos;s sensor-count reply &quot;%1&quot; carries no count.</source>
        <translation>A resposta &quot;%1&quot; da placa à quantidade de sensores não traz a quantidade.</translation>
    </message>
</context>
<context>
    <name>calimbra::UnixSignalWatcher</name>
    <message>
        <source>Could not watch for stop signals: %1.</source>
        <translation>Não foi possível vigiar os sinais de término: %1.</translation>
    </message>
</context>
<context>
    <name>calimbra::cli</name>
    <message>
        <source>The board&apos;s sensor-count reply &quot;%1&quot; carries no count.</source>
        <translation>A resposta &quot;%1&quot; da placa à quantidade de sensores não traz a quantidade.</translation>
    </message>
    <message>
        <source>%1: %2 Trying again until it answers.</source>
        <translation>%1: %2 Tentando novamente até que responda.</translation>
    </message>
    <message>
        <source>%1: readings resumed (missing since %2).</source>
        <translation>%1: leituras retomadas (faltavam desde %2).</translation>
    </message>
    <message>
        <source>Asks the Calimbra measuring board for its sensors&apos; temperatures, once or at an interval.

Commands:
  ports                  serial ports present: path, description, maker, serial number and
                         stable /dev/serial/by-id name, tab-separated
  info                   the board&apos;s sensor-count reply and the count, tab-separated
  read [SENSOR...|all]   temperatures of the given sensors (1 to 9; default: all active
                         ones): sensor, degrees Celsius (empty when none) and the reply
  led                    send the LED command; the board is told only &quot;&amp;a&quot;, so which LED
                         and state it switches is the board&apos;s own choice
  log                    read all active sensors (or --sensors) every --interval seconds
                         and write a line per reading, until stopped or --count rounds

Exit status: 0 done, 1 usage error, 2 the port could not be opened or was lost,
3 no reply within the time-out. log goes on through faults and exits 0 on SIGINT or SIGTERM.</source>
        <translation>Pede à placa de medição Calimbra as temperaturas de seus sensores, uma vez ou a intervalos.

Comandos:
  ports                  portas seriais presentes: caminho, descrição, fabricante, número de
                         série e nome estável em /dev/serial/by-id, separados por tabulação
  info                   a resposta da placa à quantidade de sensores e a quantidade,
                         separadas por tabulação
  read [SENSOR...|all]   temperaturas dos sensores dados (1 a 9; padrão: todos os ativos):
                         sensor, graus Celsius (vazio quando não há) e a resposta
  led                    envia o comando de LED; a placa recebe só &quot;&amp;a&quot;, então qual LED
                         e qual estado ela aciona é escolha da própria placa
  log                    lê todos os sensores ativos (ou --sensors) a cada --interval
                         segundos e escreve uma linha por leitura, até ser parado ou
                         completar --count rodadas

Código de saída: 0 concluído, 1 erro de uso, 2 a porta não pôde ser aberta ou foi perdida,
3 sem resposta dentro do tempo limite. log continua apesar das falhas e sai com 0 em
SIGINT ou SIGTERM.</translation>
    </message>
    <message>
        <source>Serial port: COM1 to COMn, a device such as /dev/ttyUSB0, or any path to one (default COM1, that is /dev/ttyS0).</source>
        <translation>Porta serial: COM1 a COMn, um dispositivo como /dev/ttyUSB0, ou qualquer caminho até um (padrão COM1, isto é, /dev/ttyS0).</translation>
    </message>
    <message>
        <source>name</source>
        <translation>nome</translation>
    </message>
    <message>
        <source>Baud rate (default 9600; 8N1, no flow control).</source>
        <translation>Velocidade em baud (padrão 9600; 8N1, sem controle de fluxo).</translation>
    </message>
    <message>
        <source>rate</source>
        <translation>velocidade</translation>
    </message>
    <message>
        <source>How long to wait for each reply, in milliseconds (default 2000).</source>
        <translation>Quanto esperar por cada resposta, em milissegundos (padrão 2000).</translation>
    </message>
    <message>
        <source>ms</source>
        <translation>ms</translation>
    </message>
    <message>
        <source>log: seconds from the start of one round to the next (default 10).</source>
        <translation>log: segundos entre o início de uma rodada e o da seguinte (padrão 10).</translation>
    </message>
    <message>
        <source>seconds</source>
        <translation>segundos</translation>
    </message>
    <message>
        <source>log: stop after this many rounds.</source>
        <translation>log: para depois deste número de rodadas.</translation>
    </message>
    <message>
        <source>rounds</source>
        <translation>rodadas</translation>
    </message>
    <message>
        <source>log: the sensors to read, e.g. 1,3,5-7 (default: all active ones).</source>
        <translation>log: os sensores a ler, por exemplo 1,3,5-7 (padrão: todos os ativos).</translation>
    </message>
    <message>
        <source>list</source>
        <translation>lista</translation>
    </message>
    <message>
        <source>log: csv (time, sensor, celsius, reply, with a header in a new file), json (JSON Lines) or influx (InfluxDB line protocol). Default csv.</source>
        <translation>log: csv (hora, sensor, graus Celsius, resposta, com cabeçalho num arquivo novo), json (JSON Lines) ou influx (protocolo de linhas do InfluxDB). Padrão csv.</translation>
    </message>
    <message>
        <source>format</source>
        <translation>formato</translation>
    </message>
    <message>
        <source>log: append to this file instead of writing to standard output.</source>
        <translation>log: acrescenta a este arquivo em vez de escrever na saída padrão.</translation>
    </message>
    <message>
        <source>file</source>
        <translation>arquivo</translation>
    </message>
    <message>
        <source>ports, info, read, led or log.</source>
        <translation>ports, info, read, led ou log.</translation>
    </message>
    <message>
        <source>See calimbra-cli --help.</source>
        <translation>Veja calimbra-cli --help.</translation>
    </message>
    <message>
        <source>No command given.</source>
        <translation>Nenhum comando foi dado.</translation>
    </message>
    <message>
        <source>--baud takes a positive whole number.</source>
        <translation>--baud recebe um número inteiro positivo.</translation>
    </message>
    <message>
        <source>--timeout takes a positive number of milliseconds.</source>
        <translation>--timeout recebe um número positivo de milissegundos.</translation>
    </message>
    <message>
        <source>ports takes no arguments.</source>
        <translation>ports não recebe argumentos.</translation>
    </message>
    <message>
        <source>log takes options only.</source>
        <translation>log recebe apenas opções.</translation>
    </message>
    <message>
        <source>--interval takes a number of seconds from 0.1 to 86400.</source>
        <translation>--interval recebe um número de segundos de 0,1 a 86400.</translation>
    </message>
    <message>
        <source>--count takes a positive whole number.</source>
        <translation>--count recebe um número inteiro positivo.</translation>
    </message>
    <message>
        <source>--sensors takes sensors from 1 to 9, e.g. 1,3,5-7.</source>
        <translation>--sensors recebe sensores de 1 a 9, por exemplo 1,3,5-7.</translation>
    </message>
    <message>
        <source>--format takes csv, json or influx.</source>
        <translation>--format recebe csv, json ou influx.</translation>
    </message>
    <message>
        <source>info takes no arguments.</source>
        <translation>info não recebe argumentos.</translation>
    </message>
    <message>
        <source>read takes sensors from 1 to 9, or all.</source>
        <translation>read recebe sensores de 1 a 9, ou all.</translation>
    </message>
    <message>
        <source>led takes no arguments.</source>
        <translation>led não recebe argumentos.</translation>
    </message>
    <message>
        <source>Unknown command &quot;%1&quot;.</source>
        <translation>Comando desconhecido: &quot;%1&quot;.</translation>
    </message>
</context>
</TS>
