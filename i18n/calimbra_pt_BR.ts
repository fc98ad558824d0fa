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
        <source>How much of the past the chart follows; a drag over the chart, the wheel or the arrow keys pick any stretch</source>
        <translation>Quanto do passado o gráfico acompanha; arrastar sobre o gráfico, a roda do mouse ou as setas escolhem qualquer trecho</translation>
    </message>
    <message>
        <source>&amp;Open log…</source>
        <translation>&amp;Abrir registro…</translation>
    </message>
    <message>
        <source>Show a log written by calimbra-cli log or by Record, CSV or JSON Lines, and follow it as it grows</source>
        <translation>Mostrar um registro gravado por calimbra-cli log ou por Gravar, em CSV ou JSON Lines, e acompanhá-lo enquanto cresce</translation>
    </message>
    <message>
        <source>Keep the newest readings in view, over the span chosen in Show</source>
        <translation>Manter à vista as leituras mais recentes, no intervalo escolhido em Mostrar</translation>
    </message>
    <message>
        <source>So&amp;urce:</source>
        <translation>&amp;Fonte:</translation>
    </message>
    <message>
        <source>Read the board on its serial port, or watch a board that calimbra-cli log publishes to an MQTT broker</source>
        <translation>Ler a placa pela sua porta serial, ou observar uma placa que o calimbra-cli log publica num broker MQTT</translation>
    </message>
    <message>
        <source>Bro&amp;ker:</source>
        <translation>&amp;Broker:</translation>
    </message>
    <message>
        <source>The broker calimbra-cli log publishes to: mqtt://[user[:password]@]host[:port], or mqtts://... for TLS. A password here is not remembered.</source>
        <translation>O broker em que o calimbra-cli log publica: mqtt://[usuário[:senha]@]host[:porta], ou mqtts://... para TLS. Uma senha escrita aqui não é lembrada.</translation>
    </message>
    <message>
        <source>&amp;Board:</source>
        <translation>P&amp;laca:</translation>
    </message>
    <message>
        <source>The boards that announce themselves on the broker, online or offline; the chosen one is shown</source>
        <translation>As placas que se anunciam no broker, online ou offline; a escolhida é mostrada</translation>
    </message>
    <message>
        <source>Alarm</source>
        <translation>Alarme</translation>
    </message>
    <message>
        <source>Sens&amp;ors…</source>
        <translation>&amp;Sensores…</translation>
    </message>
    <message>
        <source>Names, offsets and alarm limits of the sensors, kept in the board&apos;s file</source>
        <translation>Nomes, correções e limites de alarme dos sensores, guardados no arquivo da placa</translation>
    </message>
    <message>
        <source>&amp;Log:</source>
        <translation>&amp;Registro:</translation>
    </message>
    <message>
        <source>a log of calimbra-cli log or of Record</source>
        <translation>um registro do calimbra-cli log ou de Gravar</translation>
    </message>
    <message>
        <source>The log shown, followed as it grows; Start reads it again from its start</source>
        <translation>O registro mostrado, acompanhado enquanto cresce; Iniciar o lê de novo desde o começo</translation>
    </message>
</context>
<context>
    <name>Outbox</name>
    <message>
        <source>Could not make the outbox folder %1: %2.</source>
        <translation>Não foi possível criar a pasta da caixa de saída %1: %2.</translation>
    </message>
    <message>
        <source>The outbox folder %1 is not a folder.</source>
        <translation>A pasta da caixa de saída %1 não é uma pasta.</translation>
    </message>
    <message>
        <source>Could not open the outbox&apos;s lock file %1: %2.</source>
        <translation>Não foi possível abrir o arquivo de trava da caixa de saída %1: %2.</translation>
    </message>
    <message>
        <source>Could not lock the outbox in %1: %2.</source>
        <translation>Não foi possível travar a caixa de saída em %1: %2.</translation>
    </message>
    <message>
        <source>The outbox in %1 is in use by another process (PID %2). Two services cannot share an outbox: give each its own folder.</source>
        <translation>A caixa de saída em %1 está em uso por outro processo (PID %2). Dois serviços não podem compartilhar uma caixa de saída: dê a cada um a sua própria pasta.</translation>
    </message>
    <message>
        <source>The outbox in %1 is in use by another process. Two services cannot share an outbox: give each its own folder.</source>
        <translation>A caixa de saída em %1 está em uso por outro processo. Dois serviços não podem compartilhar uma caixa de saída: dê a cada um a sua própria pasta.</translation>
    </message>
    <message>
        <source>Qt&apos;s SQLite driver is missing, and the outbox needs it: install the package libqt6sql6-sqlite.</source>
        <translation>Falta o driver SQLite do Qt, de que a caixa de saída precisa: instale o pacote libqt6sql6-sqlite.</translation>
    </message>
    <message>
        <source>The outbox in %1 is full: its disk has no room left (%2). Free some space there; the readings stored so far are kept.</source>
        <translation>A caixa de saída em %1 está cheia: o disco dela não tem mais espaço (%2). Libere espaço nesse disco; as leituras guardadas até agora são mantidas.</translation>
    </message>
    <message>
        <source>The outbox %1 is damaged (%2). Move it aside, with the files beside it whose names begin the same, and start again: a new, empty outbox is made.</source>
        <translation>A caixa de saída %1 está danificada (%2). Tire-a do lugar, junto com os arquivos ao lado dela cujos nomes começam da mesma forma, e inicie de novo: uma caixa de saída nova e vazia será criada.</translation>
    </message>
    <message>
        <source>Could not write to the outbox %1 (%2). Check that this service may write to its folder and that the disk is not read-only.</source>
        <translation>Não foi possível escrever na caixa de saída %1 (%2). Verifique se este serviço tem permissão de escrita na pasta dela e se o disco não está montado somente para leitura.</translation>
    </message>
    <message>
        <source>Reading or writing the outbox %1 failed (%2). Check the disk.</source>
        <translation>Falha ao ler ou escrever a caixa de saída %1 (%2). Verifique o disco.</translation>
    </message>
    <message>
        <source>The outbox %1 failed: %2.</source>
        <translation>A caixa de saída %1 falhou: %2.</translation>
    </message>
    <message>
        <source>The outbox must keep at least one reading; %1 was asked.</source>
        <translation>A caixa de saída deve guardar pelo menos uma leitura; foi pedido %1.</translation>
    </message>
    <message>
        <source>The outbox %1 cannot keep a write-ahead log here (the journal mode stays %2): put it on a local disk.</source>
        <translation>A caixa de saída %1 não consegue manter um write-ahead log aqui (o modo de journal continua %2): coloque-a num disco local.</translation>
    </message>
    <message>
        <source>%1 is not an outbox this program can use (a newer version&apos;s, or another program&apos;s database). Move it aside, or give this service another folder.</source>
        <translation>%1 não é uma caixa de saída que este programa possa usar (é o banco de dados de uma versão mais nova ou de outro programa). Tire-o do lugar, ou dê outra pasta a este serviço.</translation>
    </message>
    <message>
        <source>The outbox %1 is damaged (%2), and it could not be moved aside to %3: %4. Move it aside, with the files beside it whose names begin the same, and start again: a new, empty outbox is made.</source>
        <translation>A caixa de saída %1 está danificada (%2), e não foi possível movê-la para %3: %4. Tire-a do lugar, junto com os arquivos ao lado dela cujos nomes começam da mesma forma, e inicie de novo: uma caixa de saída nova e vazia será criada.</translation>
    </message>
    <message>
        <source>The outbox %1 was damaged (%2). It was moved aside to %3, with the readings it held, and a new, empty outbox was started.</source>
        <translation>A caixa de saída %1 estava danificada (%2). Ela foi movida para %3, com as leituras que guardava, e uma caixa de saída nova e vazia foi iniciada.</translation>
    </message>
</context>
<context>
    <name>SensorsDialog</name>
    <message>
        <source>Sensors</source>
        <translation>Sensores</translation>
    </message>
    <message>
        <source>Each sensor&apos;s name, the offset added to its value, and its alarms: above High or below Low for the given seconds, cleared once the value is back inside by the hysteresis; lost after rounds without a value. An empty limit sets no alarm.</source>
        <translation>O nome de cada sensor, a correção somada ao seu valor e os seus alarmes: acima de Alto ou abaixo de Baixo pelos segundos indicados, normalizados quando o valor volta para dentro do limite com a folga da histerese; perdido depois de um número de rodadas sem valor. Um limite vazio não define alarme.</translation>
    </message>
    <message>
        <source>Sensors&apos; profiles</source>
        <translation>Perfis dos sensores</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Nome</translation>
    </message>
    <message>
        <source>Offset °C</source>
        <translation>Correção °C</translation>
    </message>
    <message>
        <source>Added to the board&apos;s value, e.g. -0.25</source>
        <translation>Somada ao valor da placa, por exemplo -0.25</translation>
    </message>
    <message>
        <source>Low °C</source>
        <translation>Baixo °C</translation>
    </message>
    <message>
        <source>An alarm below this; empty for none</source>
        <translation>Alarme abaixo deste valor; vazio para nenhum</translation>
    </message>
    <message>
        <source>High °C</source>
        <translation>Alto °C</translation>
    </message>
    <message>
        <source>An alarm above this; empty for none</source>
        <translation>Alarme acima deste valor; vazio para nenhum</translation>
    </message>
    <message>
        <source>Hysteresis °C</source>
        <translation>Histerese °C</translation>
    </message>
    <message>
        <source>How far back inside a limit the value must come before its alarm clears</source>
        <translation>Quanto o valor deve voltar para dentro de um limite antes de o alarme ser normalizado</translation>
    </message>
    <message>
        <source>For s</source>
        <translation>Duração s</translation>
    </message>
    <message>
        <source>Seconds beyond a limit before its alarm is raised</source>
        <translation>Segundos além de um limite antes de o alarme ser disparado</translation>
    </message>
    <message>
        <source>Lost after</source>
        <translation>Perdido após</translation>
    </message>
    <message>
        <source>Rounds in a row without a value before the sensor counts as lost</source>
        <translation>Rodadas seguidas sem valor antes de o sensor ser considerado perdido</translation>
    </message>
    <message>
        <source>Fault values</source>
        <translation>Valores de falha</translation>
    </message>
    <message>
        <source>85 °C at power-on and -127 °C are the sensor&apos;s faults, not temperatures</source>
        <translation>85 °C ao ligar e -127 °C são falhas do sensor, não temperaturas</translation>
    </message>
    <message>
        <source>Problem</source>
        <translation>Problema</translation>
    </message>
</context>
<context>
    <name>SimulatedBoard</name>
    <message>
        <source>Usage: calimbra-simboard [options]

Simulates the Calimbra measuring board (two LEDs, up to nine 1-Wire temperature
sensors) on a pseudo-terminal. The first line written to standard output is the
terminal&apos;s path; start the panel with  calimbra --port &lt;that path&gt;.

Requests and answers:
  &amp;a          LED command: accepted silently
  &amp;i          sensor-count reply, e.g. &quot;SN° =4 sens&quot; (11 bytes, the count at byte 5)
  &amp;l=&lt;k&gt;      temperature reply for sensor k, e.g. &quot;T3 = +23.56 °C&quot; (14 bytes);
              a sensor that is not active answers &quot;Tk = sem sensor&quot; (15 bytes)
Replies are Windows-1252 text with no line end, as the board sends them.

Options:
  --sensors N        active sensors reported by &amp;i, 0 to 9 (default 4)
  --link PATH        also create PATH as a symbolic link to the terminal
  --baud RATE        pace reply bytes as a line at RATE baud does (10 bits a byte)
  --chunk N          split each reply into pieces of N bytes, as USB adapters do
  --gap MS           pause between pieces with --chunk (default 10 ms)
  --delay MS         answer each request this late, as a board converting
                     a temperature does (default 0; a DS18B20 takes up to 750)
  --log FILE         log each request received and each reply sent, a line each
                     (&apos;-&apos; for stderr), stamped with CLOCK_MONOTONIC seconds:
                     &lt;seconds&gt; &lt;led|information|measurement|ignored&gt; &quot;&lt;bytes received&gt;&quot;
                     &lt;seconds&gt; sent &quot;&lt;reply&gt;&quot;     (the time its last byte went out)
                     &lt;seconds&gt; flood &lt;bytes&gt;
  --hangup-after S   hang up (close the line and exit) after S seconds
  --flood BYTES      bytes of random noise sent on SIGUSR2 (default 1048576)
  --seed N           seed of the noise (default 1)
  --help             show this help and exit
  --version          show the version and exit

Signals:
  SIGUSR1            hang up now, as when the cable is pulled
  SIGUSR2            send the flood of random bytes
  SIGINT, SIGTERM    exit (the link is removed)
</source>
        <translation>Uso: calimbra-simboard [opções]

Simula a placa de medição Calimbra (dois LEDs, até nove sensores de temperatura
1-Wire) num pseudoterminal. A primeira linha escrita na saída padrão é o caminho
do terminal; inicie o painel com  calimbra --port &lt;esse caminho&gt;.

Pedidos e respostas:
  &amp;a          comando de LED: aceito em silêncio
  &amp;i          resposta à quantidade de sensores, por exemplo &quot;SN° =4 sens&quot; (11 bytes,
              a quantidade no byte 5)
  &amp;l=&lt;k&gt;      resposta de temperatura do sensor k, por exemplo &quot;T3 = +23.56 °C&quot; (14 bytes);
              um sensor que não está ativo responde &quot;Tk = sem sensor&quot; (15 bytes)
As respostas são texto Windows-1252 sem fim de linha, como a placa as envia.

Opções:
  --sensors N        sensores ativos informados por &amp;i, de 0 a 9 (padrão 4)
  --link CAMINHO     cria também CAMINHO como link simbólico para o terminal
  --baud VELOCIDADE  cadencia os bytes da resposta como uma linha a VELOCIDADE baud
                     (10 bits por byte)
  --chunk N          divide cada resposta em pedaços de N bytes, como fazem os adaptadores USB
  --gap MS           pausa entre os pedaços com --chunk (padrão 10 ms)
  --delay MS         responde a cada pedido com esse atraso, como uma placa que converte
                     uma temperatura (padrão 0; um DS18B20 leva até 750)
  --log ARQUIVO      registra cada pedido recebido e cada resposta enviada, uma linha cada
                     (&apos;-&apos; para stderr), com os segundos de CLOCK_MONOTONIC:
                     &lt;segundos&gt; &lt;led|information|measurement|ignored&gt; &quot;&lt;bytes recebidos&gt;&quot;
                     &lt;segundos&gt; sent &quot;&lt;resposta&gt;&quot;     (a hora em que o último byte saiu)
                     &lt;segundos&gt; flood &lt;bytes&gt;
  --hangup-after S   desliga (fecha a linha e sai) depois de S segundos
  --flood BYTES      bytes de ruído aleatório enviados com SIGUSR2 (padrão 1048576)
  --seed N           semente do ruído (padrão 1)
  --help             mostra esta ajuda e sai
  --version          mostra a versão e sai

Sinais:
  SIGUSR1            desliga agora, como quando o cabo é puxado
  SIGUSR2            envia a enxurrada de bytes aleatórios
  SIGINT, SIGTERM    sai (o link é removido)
</translation>
    </message>
    <message>
        <source>--%1 takes a whole number from %2 to %3</source>
        <translation>--%1 recebe um número inteiro de %2 a %3</translation>
    </message>
    <message>
        <source>--hangup-after takes a number of seconds</source>
        <translation>--hangup-after recebe um número de segundos</translation>
    </message>
    <message>
        <source>unexpected argument: %1</source>
        <translation>argumento inesperado: %1</translation>
    </message>
    <message>
        <source>cannot write the log %1: %2</source>
        <translation>não é possível escrever o registro %1: %2</translation>
    </message>
    <message>
        <source>cannot create a pseudo-terminal: %1</source>
        <translation>não é possível criar um pseudoterminal: %1</translation>
    </message>
    <message>
        <source>cannot name the pseudo-terminal: %1</source>
        <translation>não é possível obter o nome do pseudoterminal: %1</translation>
    </message>
    <message>
        <source>cannot open %1: %2</source>
        <translation>não é possível abrir %1: %2</translation>
    </message>
    <message>
        <source>%1 exists and is not a symbolic link; not replacing it</source>
        <translation>%1 existe e não é um link simbólico; ele não será substituído</translation>
    </message>
    <message>
        <source>cannot create the link %1: %2</source>
        <translation>não é possível criar o link %1: %2</translation>
    </message>
    <message>
        <source>pipe: %1</source>
        <translation>pipe: %1</translation>
    </message>
    <message>
        <source>poll: %1</source>
        <translation>poll: %1</translation>
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
    <name>Topics</name>
    <message>
        <source>The Home Assistant discovery prefix &quot;%1&quot; cannot be used: a prefix is one or more topic levels such as &quot;homeassistant&quot; or &quot;ha/discovery&quot;, without &quot;+&quot;, &quot;#&quot; or control characters, neither beginning nor ending with &quot;/&quot;, not beginning with &quot;$&quot;, and at most %2 characters long.</source>
        <translation>O prefixo de descoberta do Home Assistant &quot;%1&quot; não pode ser usado: um prefixo é um ou mais níveis de tópico, como &quot;homeassistant&quot; ou &quot;ha/discovery&quot;, sem &quot;+&quot;, &quot;#&quot; nem caracteres de controle, que não começa nem termina com &quot;/&quot;, não começa com &quot;$&quot; e tem no máximo %2 caracteres.</translation>
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
        <source>standard output</source>
        <translation>a saída padrão</translation>
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
        <source>Serial port to use instead of the one remembered from the last run.</source>
        <translation>Porta serial a usar em vez da lembrada da última execução.</translation>
    </message>
    <message>
        <source>Could not make the folder %1 for the alarms&apos; state.</source>
        <translation>Não foi possível criar a pasta %1 para o estado dos alarmes.</translation>
    </message>
    <message>
        <source>Could not save the alarms&apos; state in %1: %2.</source>
        <translation>Não foi possível salvar o estado dos alarmes em %1: %2.</translation>
    </message>
    <message>
        <source>Could not read the alarms&apos; state from %1: %2.</source>
        <translation>Não foi possível ler o estado dos alarmes de %1: %2.</translation>
    </message>
    <message>
        <source>The alarms&apos; state in %1 is damaged (%2). Remove the file; the alarms then start from none.</source>
        <translation>O estado dos alarmes em %1 está danificado (%2). Remova o arquivo; os alarmes então recomeçam sem nenhum ativo.</translation>
    </message>
    <message>
        <source>not a version this program knows</source>
        <translation>não é uma versão que este programa conheça</translation>
    </message>
    <message>
        <source>an alarm without a sensor from 1 to 9 or a known kind</source>
        <translation>um alarme sem sensor de 1 a 9 ou sem um tipo conhecido</translation>
    </message>
    <message>
        <source>the value&apos;s opening quote is never closed.</source>
        <translation>as aspas que abrem o valor nunca são fechadas.</translation>
    </message>
    <message>
        <source>the section name &quot;%1&quot; has no closing &apos;]&apos;.</source>
        <translation>o nome de seção &quot;%1&quot; não tem o &apos;]&apos; de fechamento.</translation>
    </message>
    <message>
        <source>text follows the section name &quot;%1&quot;.</source>
        <translation>há texto depois do nome de seção &quot;%1&quot;.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is neither a setting (key = value), a [section] nor a comment (; or #).</source>
        <translation>&quot;%1&quot; não é uma configuração (chave = valor), nem uma [seção], nem um comentário (; ou #).</translation>
    </message>
    <message>
        <source>the line is not UTF-8 text; save the file as UTF-8.</source>
        <translation>a linha não é texto UTF-8; salve o arquivo como UTF-8.</translation>
    </message>
    <message>
        <source>Could not read the configuration file %1: %2.</source>
        <translation>Não foi possível ler o arquivo de configuração %1: %2.</translation>
    </message>
    <message>
        <source>sensor %1&apos;s profile would not read back as it is.</source>
        <translation>o perfil do sensor %1 não seria lido de volta tal como está.</translation>
    </message>
    <message>
        <source>Did not save the sensors&apos; profiles in %1: %2</source>
        <translation>Os perfis dos sensores não foram salvos em %1: %2</translation>
    </message>
    <message>
        <source>Could not save the sensors&apos; profiles in %1: %2. The file is as it was.</source>
        <translation>Não foi possível salvar os perfis dos sensores em %1: %2. O arquivo ficou como estava.</translation>
    </message>
    <message>
        <source>Could not read the password file %1: %2.</source>
        <translation>Não foi possível ler o arquivo de senha %1: %2.</translation>
    </message>
    <message>
        <source>The password file %1 can be read by every user of this computer. Make it private with chmod 600 %1, owned by the user the program runs as.</source>
        <translation>O arquivo de senha %1 pode ser lido por todos os usuários deste computador. Torne-o privado com chmod 600 %1, tendo como dono o usuário com que o programa é executado.</translation>
    </message>
    <message>
        <source>The password file %1 has no password on its first line.</source>
        <translation>O arquivo de senha %1 não tem uma senha na primeira linha.</translation>
    </message>
    <message>
        <source>The broker URL %1 is not valid: %2. Write it as mqtt://[user[:password]@]host[:port], or mqtts://... for TLS.</source>
        <translation>A URL do broker %1 não é válida: %2. Escreva-a como mqtt://[usuário[:senha]@]host[:porta], ou mqtts://... para TLS.</translation>
    </message>
    <message>
        <source>See calimbra-cli --help.</source>
        <translation>Veja calimbra-cli --help.</translation>
    </message>
    <message>
        <source>ports takes no arguments.</source>
        <translation>ports não recebe argumentos.</translation>
    </message>
    <message>
        <source>Unknown command &quot;%1&quot;.</source>
        <translation>Comando desconhecido: &quot;%1&quot;.</translation>
    </message>
    <message>
        <source>read takes sensors from 1 to 9, or all.</source>
        <translation>read recebe sensores de 1 a 9, ou all.</translation>
    </message>
    <message>
        <source>%1 takes no arguments.</source>
        <translation>%1 não recebe argumentos.</translation>
    </message>
    <message>
        <source>Give the board&apos;s port with --port.</source>
        <translation>Informe a porta da placa com --port.</translation>
    </message>
    <message>
        <source>Asks the Calimbra measuring board for its sensors&apos; temperatures, once or at an interval, and
publishes them to files, an MQTT broker and Prometheus.

Commands:
  ports                  serial ports present: path, description, maker, serial number and
                         stable /dev/serial/by-id name, tab-separated
  info                   the board&apos;s sensor-count reply and the count, tab-separated
  read [SENSOR...|all]   temperatures of the given sensors (1 to 9; default: all active
                         ones): sensor, degrees Celsius (empty when none), the reply and
                         the sensor&apos;s name when it has one
  led                    send the LED command; the board is told only &quot;&amp;a&quot;, so which LED
                         and state it switches is the board&apos;s own choice
  log                    read all active sensors (or --sensors) every --interval seconds
                         and write a line per reading, until stopped or --count rounds

Exit status: 0 done, 1 usage or configuration error, 2 the port could not be opened or was
lost, 3 no reply within the time-out, 4 an output could not be opened or written (or its
reader went away). log goes on through faults and exits 0 on SIGINT or SIGTERM; SIGHUP
reopens its output file.</source>
        <translation>Pede à placa de medição Calimbra as temperaturas de seus sensores, uma vez ou a intervalos, e
as publica em arquivos, num broker MQTT e no Prometheus.

Comandos:
  ports                  portas seriais presentes: caminho, descrição, fabricante, número de
                         série e nome estável em /dev/serial/by-id, separados por tabulação
  info                   a resposta da placa à quantidade de sensores e a quantidade,
                         separadas por tabulação
  read [SENSOR...|all]   temperaturas dos sensores dados (1 a 9; padrão: todos os ativos):
                         sensor, graus Celsius (vazio quando não há), a resposta e o nome
                         do sensor, quando ele tem um
  led                    envia o comando de LED; a placa recebe só &quot;&amp;a&quot;, então qual LED
                         e qual estado ela aciona é escolha da própria placa
  log                    lê todos os sensores ativos (ou --sensors) a cada --interval
                         segundos e escreve uma linha por leitura, até ser parado ou
                         completar --count rodadas

Código de saída: 0 concluído, 1 erro de uso ou de configuração, 2 a porta não pôde ser aberta
ou foi perdida, 3 sem resposta dentro do tempo limite, 4 uma saída não pôde ser aberta ou
escrita (ou o programa que a lia foi encerrado). log continua apesar das falhas e sai com 0
em SIGINT ou SIGTERM; SIGHUP reabre o seu arquivo de saída.</translation>
    </message>
    <message>
        <source>Read the options and the sensors&apos; names, calibration and alarms from this INI file (see calimbra.conf(5)); options given here win.</source>
        <translation>Lê deste arquivo INI as opções e os nomes, a calibração e os alarmes dos sensores (veja calimbra.conf(5)); as opções dadas aqui prevalecem.</translation>
    </message>
    <message>
        <source>file</source>
        <translation>arquivo</translation>
    </message>
    <message>
        <source>url</source>
        <translation>url</translation>
    </message>
    <message>
        <source>command</source>
        <translation>comando</translation>
    </message>
    <message>
        <source>ports, info, read, led or log.</source>
        <translation>ports, info, read, led ou log.</translation>
    </message>
    <message>
        <source>command [arguments]</source>
        <translation>comando [argumentos]</translation>
    </message>
    <message>
        <source>No command given.</source>
        <translation>Nenhum comando foi dado.</translation>
    </message>
    <message>
        <source>PATH	DESCRIPTION	MAKER	SERIAL	STABLE NAME</source>
        <translation>CAMINHO	DESCRIÇÃO	FABRICANTE	NÚMERO DE SÉRIE	NOME ESTÁVEL</translation>
    </message>
    <message>
        <source>Live chart of the Calimbra board&apos;s temperature sensors, with a CSV record of every reading; or the chart of a log written by calimbra-cli log or by the monitor, followed as it grows.</source>
        <translation>Gráfico ao vivo dos sensores de temperatura da placa Calimbra, com um registro CSV de cada leitura; ou o gráfico de um registro gravado por calimbra-cli log ou pelo monitor, acompanhado enquanto cresce.</translation>
    </message>
    <message>
        <source>A log to show (CSV or JSON Lines) instead of reading the board.</source>
        <translation>Um registro a mostrar (CSV ou JSON Lines) em vez de ler a placa.</translation>
    </message>
    <message>
        <source>Choose the board&apos;s port in the Port field.</source>
        <translation>Escolha a porta da placa no campo Porta.</translation>
    </message>
    <message>
        <source>The monitor keeps trying to reopen it by itself.</source>
        <translation>O monitor continua tentando reabri-la sozinho.</translation>
    </message>
    <message>
        <source>The board&apos;s sensor-count reply &quot;%1&quot; carries no count of 0 to 9 sensors.</source>
        <translation>A resposta &quot;%1&quot; da placa à quantidade de sensores não traz uma quantidade de 0 a 9 sensores.</translation>
    </message>
    <message>
        <source>The board reports no active sensors (&quot;%1&quot;); nothing to read.</source>
        <translation>A placa informa que não há sensores ativos (&quot;%1&quot;); nada a ler.</translation>
    </message>
    <message>
        <source>The board&apos;s file: its sensors&apos; names, offsets and alarms, and its port, baud rate, interval, sensors, broker and board. Remembered for the next runs.</source>
        <translation>O arquivo da placa: os nomes, as correções e os alarmes dos sensores, e a porta, a velocidade, o intervalo, os sensores, o broker e a placa. Lembrado nas próximas execuções.</translation>
    </message>
    <message>
        <source>Watch a board through this MQTT broker, mqtt://[user[:password]@]host[:port] or mqtts://...; the board&apos;s service publishes to it with calimbra-cli log --mqtt.</source>
        <translation>Observa uma placa por meio deste broker MQTT, mqtt://[usuário[:senha]@]host[:porta] ou mqtts://...; o serviço da placa publica nele com calimbra-cli log --mqtt.</translation>
    </message>
    <message>
        <source>The board to watch through the broker, by the name it publishes under (calimbra-cli log --board).</source>
        <translation>A placa a observar pelo broker, pelo nome com que ela publica (calimbra-cli log --board).</translation>
    </message>
    <message>
        <source>holds a control character; a name is one line of printable text.</source>
        <translation>contém um caractere de controle; um nome é uma linha de texto imprimível.</translation>
    </message>
    <message>
        <source>is %1 characters long; a name has at most %2.</source>
        <translation>tem %1 caracteres; um nome tem no máximo %2.</translation>
    </message>
    <message>
        <source>ends in a backslash, which InfluxDB&apos;s line protocol cannot carry in a tag; remove it.</source>
        <translation>termina com uma barra invertida, que o protocolo de linha do InfluxDB não consegue levar numa tag; remova-a.</translation>
    </message>
    <message>
        <source>Check the LoadCredential=mqtt_password:FILE line of the service&apos;s unit.</source>
        <translation>Verifique a linha LoadCredential=mqtt_password:ARQUIVO da unidade do serviço.</translation>
    </message>
    <message>
        <source>Could not read the broker&apos;s password from systemd&apos;s credential %1: %2. %3</source>
        <translation>Não foi possível ler a senha do broker da credencial %1 do systemd: %2. %3</translation>
    </message>
    <message>
        <source>systemd&apos;s credential %1 has no password on its first line. %2</source>
        <translation>A credencial %1 do systemd não tem uma senha na primeira linha. %2</translation>
    </message>
    <message>
        <source>takes letters, digits, &apos;_&apos; and &apos;-&apos; only, at most 64 of them, like kitchen-1.</source>
        <translation>recebe só letras, dígitos, &apos;_&apos; e &apos;-&apos;, no máximo 64 deles, como cozinha-1.</translation>
    </message>
    <message>
        <source>--%1 &quot;%2&quot;: %3</source>
        <translation>--%1 &quot;%2&quot;: %3</translation>
    </message>
    <message>
        <source>Calimbra temperatures</source>
        <translation>Temperaturas Calimbra</translation>
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
        <source>Open a log</source>
        <translation>Abrir um registro</translation>
    </message>
    <message>
        <source>Logs (*.csv *.jsonl *.json *.log *.txt);;All files (*)</source>
        <translation>Registros (*.csv *.jsonl *.json *.log *.txt);;Todos os arquivos (*)</translation>
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
        <source>Calimbra Monitor</source>
        <translation>Calimbra Monitor</translation>
    </message>
    <message>
        <source>The board&apos;s file could not be read, so the monitor starts without the sensors&apos; names, offsets and alarms. Correct the file and start the monitor again, or save new profiles with Sensors…</source>
        <translation>O arquivo da placa não pôde ser lido, então o monitor começa sem os nomes, as correções e os alarmes dos sensores. Corrija o arquivo e inicie o monitor de novo, ou salve novos perfis com Sensores…</translation>
    </message>
</context>
<context>
    <name>calimbra::AlarmHook</name>
    <message>
        <source>The alarm command &quot;%1&quot; names no program to run.</source>
        <translation>O comando de alarme &quot;%1&quot; não indica nenhum programa a executar.</translation>
    </message>
    <message>
        <source>sensor %1, %2 %3</source>
        <translation>sensor %1, %2 %3</translation>
    </message>
    <message>
        <source>The alarm command %1 (%2) ran longer than %3 s and was killed.</source>
        <translation>O comando de alarme %1 (%2) rodou por mais de %3 s e foi encerrado à força.</translation>
    </message>
    <message>
        <source>The alarm command %1 (%2) was ended by a signal.</source>
        <translation>O comando de alarme %1 (%2) foi encerrado por um sinal.</translation>
    </message>
    <message>
        <source>The alarm command %1 (%2) failed with exit status %3.</source>
        <translation>O comando de alarme %1 (%2) falhou com o código de saída %3.</translation>
    </message>
    <message>
        <source>The alarm command %1 (%2) could not start: %3.</source>
        <translation>O comando de alarme %1 (%2) não pôde ser iniciado: %3.</translation>
    </message>
    <message>
        <source>The alarm command&apos;s program %1 is not there, or may not be run by this user: give the path of an executable file with --on-alarm or on_alarm in the board&apos;s file.</source>
        <translation>O programa %1 do comando de alarme não existe, ou este usuário não pode executá-lo: informe o caminho de um arquivo executável com --on-alarm ou com on_alarm no arquivo da placa.</translation>
    </message>
    <message>
        <source>The alarm command %1 (%2) was not run: %3 commands are waiting their turn already. Alarm commands are dropped until there is room again.</source>
        <translation>O comando de alarme %1 (%2) não foi executado: %3 comandos já aguardam a sua vez. Os comandos de alarme são descartados até haver lugar de novo.</translation>
    </message>
    <message>
        <source>The alarm command %1 was not run for %2 alarms while its queue was full (the last: %3); it runs again for every alarm.</source>
        <translation>O comando de alarme %1 não foi executado para %2 alarmes enquanto a sua fila estava cheia (o último: %3); ele volta a ser executado para cada alarme.</translation>
    </message>
</context>
<context>
    <name>calimbra::BoardConfig</name>
    <message>
        <source>a setting of the board; put it before the first section.</source>
        <translation>configuração da placa; coloque-a antes da primeira seção.</translation>
    </message>
    <message>
        <source>unknown setting for a sensor.</source>
        <translation>configuração desconhecida para um sensor.</translation>
    </message>
    <message>
        <source>unknown setting for the board.</source>
        <translation>configuração desconhecida para a placa.</translation>
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
    <name>calimbra::BrokerSource</name>
    <message>
        <source>A message on %1 is not an alarm&apos;s ON or OFF; it is left out.</source>
        <translation>Uma mensagem em %1 não é o ON ou OFF de um alarme; ela é ignorada.</translation>
    </message>
    <message>
        <source>The monitor&apos;s id &quot;%1&quot; cannot name an MQTT session: it may hold only letters, digits, _ and - (at most %2).</source>
        <translation>O id do monitor &quot;%1&quot; não pode nomear uma sessão MQTT: ele só pode conter letras, dígitos, _ e - (no máximo %2).</translation>
    </message>
    <message>
        <source>The board &quot;%1&quot; cannot be followed: a board&apos;s name holds only letters, digits, _ and - (at most 64).</source>
        <translation>Não é possível acompanhar a placa &quot;%1&quot;: o nome de uma placa contém só letras, dígitos, _ e - (no máximo 64).</translation>
    </message>
    <message>
        <source>More messages on the broker %1 are not what a Calimbra service publishes; they are left out without a word.</source>
        <translation>Outras mensagens no broker %1 também não são o que um serviço Calimbra publica; elas são ignoradas sem novo aviso.</translation>
    </message>
    <message>
        <source>The broker has a message on a topic of %1 characters (%2), longer than any of a Calimbra service (at most %3); such messages are left out.</source>
        <translation>O broker tem uma mensagem num tópico de %1 caracteres (%2), mais longo que qualquer tópico de um serviço Calimbra (no máximo %3); mensagens assim são ignoradas.</translation>
    </message>
    <message>
        <source>The broker has a message of %1 bytes on %2, larger than any of a Calimbra service (at most %3); such messages are left out.</source>
        <translation>O broker tem uma mensagem de %1 bytes em %2, maior que qualquer mensagem de um serviço Calimbra (no máximo %3); mensagens assim são ignoradas.</translation>
    </message>
    <message>
        <source>The broker has a message on %1, whose board&apos;s name is not one a Calimbra service gives (letters, digits, _ and -, at most 64); such boards are left out.</source>
        <translation>O broker tem uma mensagem em %1, cujo nome de placa não é um que um serviço Calimbra daria (letras, dígitos, _ e -, no máximo 64); placas assim são ignoradas.</translation>
    </message>
    <message>
        <source>The broker has a message on %1, which names no sensor from 1 to 9 or no alarm of a Calimbra service; it is left out.</source>
        <translation>O broker tem uma mensagem em %1, que não indica um sensor de 1 a 9 ou um alarme de um serviço Calimbra; ela é ignorada.</translation>
    </message>
    <message>
        <source>The broker %1 has more than %2 boards; the others are left out.</source>
        <translation>O broker %1 tem mais de %2 placas; as outras são ignoradas.</translation>
    </message>
    <message>
        <source>The sensor&apos;s name on %1 is %2 characters long, longer than a sensor&apos;s profile takes (%3); it is left out.</source>
        <translation>O nome do sensor em %1 tem %2 caracteres, mais do que o perfil de um sensor aceita (%3); ele é ignorado.</translation>
    </message>
    <message>
        <source>A message on %1 is not a sensor&apos;s limits; it is left out.</source>
        <translation>Uma mensagem em %1 não traz os limites de um sensor; ela é ignorada.</translation>
    </message>
    <message>
        <source>A message on %1 is not a reading as a Calimbra service writes it ({&quot;time&quot;: ..., &quot;sensor&quot;: %2, &quot;celsius&quot;: ..., &quot;reply&quot;: ...}); it is left out.</source>
        <translation>Uma mensagem em %1 não é uma leitura como um serviço Calimbra a escreve ({&quot;time&quot;: ..., &quot;sensor&quot;: %2, &quot;celsius&quot;: ..., &quot;reply&quot;: ...}); ela é ignorada.</translation>
    </message>
    <message>
        <source>A reading on %1 of %2 °C is outside what a sensor measures (%3 to %4 °C); such readings are left out.</source>
        <translation>Uma leitura de %2 °C em %1 está fora do que um sensor mede (%3 a %4 °C); leituras assim são ignoradas.</translation>
    </message>
    <message>
        <source>A reading on %1 names its sensor with %2 characters, more than a sensor&apos;s profile takes (%3); the name is left out.</source>
        <translation>Uma leitura em %1 dá ao seu sensor um nome de %2 caracteres, mais do que o perfil de um sensor aceita (%3); o nome é ignorado.</translation>
    </message>
</context>
<context>
    <name>calimbra::BrokerWatch</name>
    <message>
        <source>The monitor keeps trying by itself.</source>
        <translation>O monitor continua tentando sozinho.</translation>
    </message>
    <message>
        <source>The board&apos;s service is offline.</source>
        <translation>O serviço da placa está offline.</translation>
    </message>
    <message>
        <source>%1 — %2</source>
        <translation>%1 — %2</translation>
    </message>
    <message>
        <source>not announced</source>
        <translation>não anunciada</translation>
    </message>
    <message>
        <source>online</source>
        <translation>online</translation>
    </message>
    <message>
        <source>offline</source>
        <translation>offline</translation>
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
    <name>calimbra::ConfigReader</name>
    <message>
        <source>unknown section; sensors have [sensor.1] to [sensor.9], and the board&apos;s settings come before the first section.</source>
        <translation>seção desconhecida; os sensores têm [sensor.1] a [sensor.9], e as configurações da placa vêm antes da primeira seção.</translation>
    </message>
    <message>
        <source>sensors are numbered from 1 to %1.</source>
        <translation>os sensores são numerados de 1 a %1.</translation>
    </message>
    <message>
        <source>low (%1 °C) is above high (%2 °C); the low limit must be the lower one.</source>
        <translation>low (%1 °C) está acima de high (%2 °C); o limite inferior deve ser o menor.</translation>
    </message>
    <message>
        <source>given twice; keep one.</source>
        <translation>aparece duas vezes; mantenha só uma.</translation>
    </message>
    <message>
        <source>has no value; give one or remove the line.</source>
        <translation>não tem valor; informe um ou remova a linha.</translation>
    </message>
    <message>
        <source>a sensor&apos;s setting; put it in that sensor&apos;s [sensor.N] section.</source>
        <translation>configuração de um sensor; coloque-a na seção [sensor.N] desse sensor.</translation>
    </message>
    <message>
        <source>takes a number of degrees Celsius, like -0.25.</source>
        <translation>recebe um número de graus Celsius, como -0.25.</translation>
    </message>
    <message>
        <source>takes a number of degrees Celsius, like -18.</source>
        <translation>recebe um número de graus Celsius, como -18.</translation>
    </message>
    <message>
        <source>takes a number of degrees Celsius, like 30.5.</source>
        <translation>recebe um número de graus Celsius, como 30.5.</translation>
    </message>
    <message>
        <source>takes a number of degrees Celsius, 0 or more, like 0.5.</source>
        <translation>recebe um número de graus Celsius, 0 ou mais, como 0.5.</translation>
    </message>
    <message>
        <source>takes a number of seconds from 0 to 86400.</source>
        <translation>recebe um número de segundos de 0 a 86400.</translation>
    </message>
    <message>
        <source>takes a whole number of rounds, 1 or more.</source>
        <translation>recebe um número inteiro de rodadas, 1 ou mais.</translation>
    </message>
    <message>
        <source>sensor %1 has a section already, at line %2; merge the two into one.</source>
        <translation>o sensor %1 já tem uma seção, na linha %2; junte as duas numa só.</translation>
    </message>
</context>
<context>
    <name>calimbra::ErrorHandler</name>
    <message>
        <source>Calimbra</source>
        <translation>Calimbra</translation>
    </message>
</context>
<context>
    <name>calimbra::FileSink</name>
    <message>
        <source>standard output</source>
        <translation>a saída padrão</translation>
    </message>
    <message>
        <source>the log file %1</source>
        <translation>o arquivo de registro %1</translation>
    </message>
    <message>
        <source>%1 Lines are kept (%2 now) and written once it can take them again.</source>
        <translation>%1 As linhas ficam guardadas (%2 até agora) e serão escritas assim que for possível escrever de novo.</translation>
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
    <name>calimbra::LogFile</name>
    <message>
        <source>Could not open the log file %1: %2.</source>
        <translation>Não foi possível abrir o arquivo de registro %1: %2.</translation>
    </message>
    <message>
        <source>Could not write to %1: %2.</source>
        <translation>Não foi possível escrever para %1: %2.</translation>
    </message>
    <message>
        <source>Could not write to %1: %2; the last line in it is incomplete.</source>
        <translation>Não foi possível escrever para %1: %2; a última linha ficou incompleta.</translation>
    </message>
    <message>
        <source>Could not open the log file %1: it is a named pipe (FIFO) that nobody reads. Start its reader first.</source>
        <translation>Não foi possível abrir o arquivo de registro %1: ele é um pipe nomeado (FIFO) que ninguém lê. Inicie primeiro o programa que o lê.</translation>
    </message>
    <message>
        <source>The reader of %1 went away.</source>
        <translation>O programa que lia %1 foi encerrado.</translation>
    </message>
    <message>
        <source>Could not write to %1: its reader takes nothing more for now.</source>
        <translation>Não foi possível escrever para %1: o programa que o lê não aceita mais nada por enquanto.</translation>
    </message>
</context>
<context>
    <name>calimbra::LogReader</name>
    <message>
        <source>Could not open the log %1: %2.</source>
        <translation>Não foi possível abrir o registro %1: %2.</translation>
    </message>
    <message>
        <source>%1 is not a file that a log can be read from.</source>
        <translation>%1 não é um arquivo do qual se possa ler um registro.</translation>
    </message>
    <message>
        <source>Could not read the log %1: %2.</source>
        <translation>Não foi possível ler o registro %1: %2.</translation>
    </message>
    <message>
        <source>%1 is not a Calimbra log: its line “%2” is neither the CSV header time,sensor,celsius,reply nor a reading in CSV or JSON Lines. Open a file written by calimbra-cli log or by the monitor&apos;s record.</source>
        <translation>%1 não é um registro do Calimbra: sua linha “%2” não é o cabeçalho CSV time,sensor,celsius,reply nem uma leitura em CSV ou JSON Lines. Abra um arquivo gravado por calimbra-cli log ou pela gravação do monitor.</translation>
    </message>
    <message>
        <source>Lines of %1 that are not readings were skipped, %2 in all; the first is line %3.</source>
        <translation>Linhas de %1 que não são leituras foram ignoradas, %2 ao todo; a primeira é a linha %3.</translation>
    </message>
</context>
<context>
    <name>calimbra::MetricsServer</name>
    <message>
        <source>&quot;%1&quot; is not an address to serve metrics on: give [HOST:]PORT, a port from 1 to 65535 on an IP address of this computer, such as 9100, 0.0.0.0:9100 or [::1]:9100.</source>
        <translation>&quot;%1&quot; não é um endereço em que se possam servir métricas: informe [HOST:]PORTA, uma porta de 1 a 65535 num endereço IP deste computador, como 9100, 0.0.0.0:9100 ou [::1]:9100.</translation>
    </message>
    <message>
        <source>Port %1 on %2 is already in use by another program; choose another with --metrics.</source>
        <translation>A porta %1 em %2 já está em uso por outro programa; escolha outra com --metrics.</translation>
    </message>
    <message>
        <source>%1 is not an address of this computer; give one of its addresses, or 127.0.0.1, with --metrics.</source>
        <translation>%1 não é um endereço deste computador; informe um dos endereços dele, ou 127.0.0.1, com --metrics.</translation>
    </message>
    <message>
        <source>Port %1 on %2 needs privileges this program does not have; choose a port from 1024 up with --metrics.</source>
        <translation>A porta %1 em %2 exige privilégios que este programa não tem; escolha uma porta a partir de 1024 com --metrics.</translation>
    </message>
    <message>
        <source>Cannot serve metrics on %1:%2: %3.</source>
        <translation>Não é possível servir métricas em %1:%2: %3.</translation>
    </message>
</context>
<context>
    <name>calimbra::MetricsSink</name>
    <message>
        <source>Prometheus metrics</source>
        <translation>o servidor de métricas Prometheus</translation>
    </message>
</context>
<context>
    <name>calimbra::MonitorWindow</name>
    <message>
        <source>&amp;Stop</source>
        <translation>&amp;Parar</translation>
    </message>
    <message>
        <source>&amp;Start</source>
        <translation>&amp;Iniciar</translation>
    </message>
    <message>
        <source>S%1 %2 °C</source>
        <translation>S%1 %2 °C</translation>
    </message>
    <message>
        <source>No readings yet</source>
        <translation>Nenhuma leitura ainda</translation>
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
        <source>Last 7 days</source>
        <translation>Últimos 7 dias</translation>
    </message>
    <message>
        <source>All</source>
        <translation>Tudo</translation>
    </message>
    <message>
        <source>The Sensors field takes sensor numbers from 1 to 9, such as 1,3,5-7, or nothing for every sensor the board reports; correct it and press Start.</source>
        <translation>O campo Sensores aceita números de sensor de 1 a 9, como 1,3,5-7, ou nada para todos os sensores que a placa informa; corrija-o e pressione Iniciar.</translation>
    </message>
    <message>
        <source>Type or choose the board&apos;s port in the Port field, then press Start.</source>
        <translation>Digite ou escolha a porta da placa no campo Porta e pressione Iniciar.</translation>
    </message>
    <message>
        <source>Calimbra Monitor</source>
        <translation>Calimbra Monitor</translation>
    </message>
    <message>
        <source>Could not save %1; choose another folder or free some space, and export again.</source>
        <translation>Não foi possível salvar %1; escolha outra pasta ou libere espaço e exporte de novo.</translation>
    </message>
    <message>
        <source>%1 — Calimbra Monitor</source>
        <translation>%1 — Calimbra Monitor</translation>
    </message>
    <message>
        <source>Serial port</source>
        <translation>Porta serial</translation>
    </message>
    <message>
        <source>MQTT broker</source>
        <translation>Broker MQTT</translation>
    </message>
    <message>
        <source>Type the broker&apos;s URL in the Broker field, such as mqtt://host:1883, then press Start.</source>
        <translation>Digite a URL do broker no campo Broker, como mqtt://host:1883, e pressione Iniciar.</translation>
    </message>
    <message>
        <source>Log file</source>
        <translation>Arquivo de registro</translation>
    </message>
</context>
<context>
    <name>calimbra::MqttClient</name>
    <message>
        <source>The MQTT broker needs a host and a port.</source>
        <translation>O broker MQTT precisa de um host e de uma porta.</translation>
    </message>
    <message>
        <source>The MQTT keep-alive of %1 s is too short: give 5 s or more, or 0 for none.</source>
        <translation>O keep-alive MQTT de %1 s é curto demais: informe 5 s ou mais, ou 0 para nenhum.</translation>
    </message>
    <message>
        <source>The MQTT last-will topic &quot;%1&quot; with QoS %2 cannot be published: a topic has no &quot;+&quot; or &quot;#&quot;, and the QoS is 0, 1 or 2.</source>
        <translation>O tópico de last will do MQTT &quot;%1&quot; com QoS %2 não pode ser publicado: um tópico não tem &quot;+&quot; nem &quot;#&quot;, e o QoS é 0, 1 ou 2.</translation>
    </message>
    <message>
        <source>The MQTT topic &quot;%1&quot; cannot be published to: a topic is not empty and has no &quot;+&quot; or &quot;#&quot;.</source>
        <translation>Não é possível publicar no tópico MQTT &quot;%1&quot;: um tópico não é vazio e não tem &quot;+&quot; nem &quot;#&quot;.</translation>
    </message>
    <message>
        <source>MQTT knows no QoS %1: use 0, 1 or 2.</source>
        <translation>O MQTT não tem QoS %1: use 0, 1 ou 2.</translation>
    </message>
    <message>
        <source>A message of %1 bytes is larger than MQTT carries (256 MiB).</source>
        <translation>Uma mensagem de %1 bytes é maior do que o MQTT transporta (256 MiB).</translation>
    </message>
    <message>
        <source>The MQTT topic filter &quot;%1&quot; is not valid: &quot;+&quot; and &quot;#&quot; stand for whole levels, &quot;#&quot; only at the end.</source>
        <translation>O filtro de tópico MQTT &quot;%1&quot; não é válido: &quot;+&quot; e &quot;#&quot; representam níveis inteiros, e &quot;#&quot; só no fim.</translation>
    </message>
    <message>
        <source>The MQTT broker %1 did not answer within %2 s: check the host and port in the broker URL and that the network lets them through.</source>
        <translation>O broker MQTT %1 não respondeu em %2 s: verifique o host e a porta na URL do broker e se a rede deixa a conexão passar.</translation>
    </message>
    <message>
        <source>The MQTT broker&apos;s host %1 was not found (%2): check the host name in the broker URL.</source>
        <translation>O host do broker MQTT, %1, não foi encontrado (%2): verifique o nome do host na URL do broker.</translation>
    </message>
    <message>
        <source>The CA file %1 for the MQTT broker cannot be read: check its path and permissions.</source>
        <translation>O arquivo de CA %1 do broker MQTT não pode ser lido: verifique o caminho e as permissões dele.</translation>
    </message>
    <message>
        <source>The MQTT broker %1 refused the login (%2): check the user name and password in the broker URL against the broker&apos;s password file.</source>
        <translation>O broker MQTT %1 recusou o login (%2): confira o nome de usuário e a senha da URL do broker com o arquivo de senhas do broker.</translation>
    </message>
    <message>
        <source>The MQTT broker %1 rejected the client id &quot;%2&quot; (%3): choose a shorter id of letters and digits.</source>
        <translation>O broker MQTT %1 rejeitou o id de cliente &quot;%2&quot; (%3): escolha um id mais curto, só de letras e dígitos.</translation>
    </message>
    <message>
        <source>The MQTT broker %1 refused the connection (%2): check the broker&apos;s log.</source>
        <translation>O broker MQTT %1 recusou a conexão (%2): verifique o log do broker.</translation>
    </message>
    <message>
        <source>The certificate of the MQTT broker %1 is not made out for the host name %2: write the name the certificate names in the broker URL.</source>
        <translation>O certificado do broker MQTT %1 não foi emitido para o nome de host %2: escreva na URL do broker o nome que consta no certificado.</translation>
    </message>
    <message>
        <source>The certificate of the MQTT broker %1 is not signed by an authority in the system&apos;s store %2: give the broker&apos;s CA file.</source>
        <translation>O certificado do broker MQTT %1 não é assinado por uma autoridade do repositório do sistema %2: informe o arquivo de CA do broker.</translation>
    </message>
    <message>
        <source>The certificate of the MQTT broker %1 is not signed by the CA in %2: check that this is the broker&apos;s CA file.</source>
        <translation>O certificado do broker MQTT %1 não é assinado pela CA em %2: verifique se este é o arquivo de CA do broker.</translation>
    </message>
    <message>
        <source>The TLS connection to the MQTT broker %1 failed (%2): check that this port takes TLS (mqtts://) and the CA file.</source>
        <translation>A conexão TLS com o broker MQTT %1 falhou (%2): verifique se esta porta aceita TLS (mqtts://) e o arquivo de CA.</translation>
    </message>
    <message>
        <source>The MQTT broker %1 stopped answering: check that it still runs and the network to it.</source>
        <translation>O broker MQTT %1 parou de responder: verifique se ele continua em execução e a rede até ele.</translation>
    </message>
    <message>
        <source>The MQTT broker %1 closed the connection: check that it still runs, and its log.</source>
        <translation>O broker MQTT %1 fechou a conexão: verifique se ele continua em execução, e o log dele.</translation>
    </message>
    <message>
        <source>The connection to the MQTT broker %1 broke off (%2): check the network to it.</source>
        <translation>A conexão com o broker MQTT %1 caiu (%2): verifique a rede até ele.</translation>
    </message>
    <message>
        <source>The MQTT broker %1 refused the connection (nothing listens there): check that the broker runs and the port in the broker URL.</source>
        <translation>O broker MQTT %1 recusou a conexão (nada escuta ali): verifique se o broker está em execução e a porta na URL do broker.</translation>
    </message>
    <message>
        <source>The MQTT broker %1 cannot be reached (%2): check the host in the broker URL and the network.</source>
        <translation>Não é possível alcançar o broker MQTT %1 (%2): verifique o host na URL do broker e a rede.</translation>
    </message>
    <message>
        <source>The MQTT broker %1 closed the connection before accepting it: check that the URL&apos;s scheme (mqtt:// or mqtts://) suits the port, and the broker&apos;s log.</source>
        <translation>O broker MQTT %1 fechou a conexão antes de aceitá-la: verifique se o esquema da URL (mqtt:// ou mqtts://) combina com a porta, e o log do broker.</translation>
    </message>
    <message>
        <source>Could not connect to the MQTT broker %1: %2.</source>
        <translation>Não foi possível conectar ao broker MQTT %1: %2.</translation>
    </message>
    <message>
        <source>A persistent MQTT session needs a client id of its own, by which the broker keeps it.</source>
        <translation>Uma sessão MQTT persistente precisa de um id de cliente próprio, pelo qual o broker a guarda.</translation>
    </message>
</context>
<context>
    <name>calimbra::MqttSink</name>
    <message>
        <source>the MQTT broker %1</source>
        <translation>o broker MQTT %1</translation>
    </message>
    <message>
        <source>The outbox of %1 cannot keep readings: %2 Readings are sent only while the broker is connected, and lost while it is not.</source>
        <translation>A caixa de saída para %1 não pode guardar leituras: %2 As leituras só são enviadas enquanto o broker está conectado, e se perdem enquanto não está.</translation>
    </message>
    <message>
        <source>The outbox of %1 is full (%2 readings): the oldest are dropped to keep the newest.</source>
        <translation>A caixa de saída para %1 está cheia (%2 leituras): as mais antigas são descartadas para manter as mais recentes.</translation>
    </message>
    <message>
        <source>%1 Readings wait in the outbox until the broker is back.</source>
        <translation>%1 As leituras aguardam na caixa de saída até o broker voltar.</translation>
    </message>
    <message>
        <source>The outbox of %1 keeps readings again.</source>
        <translation>A caixa de saída para %1 voltou a guardar leituras.</translation>
    </message>
    <message>
        <source>The board&apos;s name &quot;%1&quot; cannot be part of an MQTT topic: it may hold only letters, digits, _ and - (at most 64).</source>
        <translation>O nome da placa &quot;%1&quot; não pode fazer parte de um tópico MQTT: ele só pode conter letras, dígitos, _ e - (no máximo 64).</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>Readings for %1 left in the outbox %2: %3. They go to the broker at the next run.</source>
        <translation>Leituras para %1 que ficaram na caixa de saída %2: %3. Elas vão para o broker na próxima execução.</translation>
    </message>
</context>
<context>
    <name>calimbra::MqttUrl</name>
    <message>
        <source>it does not begin with mqtt:// or mqtts://</source>
        <translation>não começa com mqtt:// nem com mqtts://</translation>
    </message>
    <message>
        <source>the user name has a &quot;%&quot; not followed by two hex digits of UTF-8 (write %25 for %)</source>
        <translation>o nome de usuário tem um &quot;%&quot; que não é seguido de dois dígitos hexadecimais de UTF-8 (escreva %25 para %)</translation>
    </message>
    <message>
        <source>the user name before &quot;@&quot; is empty</source>
        <translation>o nome de usuário antes de &quot;@&quot; está vazio</translation>
    </message>
    <message>
        <source>the password has a &quot;%&quot; not followed by two hex digits of UTF-8 (write %25 for %)</source>
        <translation>a senha tem um &quot;%&quot; que não é seguido de dois dígitos hexadecimais de UTF-8 (escreva %25 para %)</translation>
    </message>
    <message>
        <source>nothing may follow the host and port but a single &quot;/&quot;</source>
        <translation>depois do host e da porta só pode vir uma única &quot;/&quot;</translation>
    </message>
    <message>
        <source>the IPv6 address lacks its closing &quot;]&quot;</source>
        <translation>falta o &quot;]&quot; que fecha o endereço IPv6</translation>
    </message>
    <message>
        <source>&quot;%1&quot; in brackets is not an IPv6 address</source>
        <translation>&quot;%1&quot; entre colchetes não é um endereço IPv6</translation>
    </message>
    <message>
        <source>only &quot;:&quot; and a port may follow the IPv6 address</source>
        <translation>depois do endereço IPv6 só podem vir &quot;:&quot; e uma porta</translation>
    </message>
    <message>
        <source>an IPv6 address must be written in brackets, as in mqtt://[::1]:1883</source>
        <translation>um endereço IPv6 deve ser escrito entre colchetes, como em mqtt://[::1]:1883</translation>
    </message>
    <message>
        <source>the host is missing</source>
        <translation>falta o host</translation>
    </message>
    <message>
        <source>the host name &quot;%1&quot; has a character other than letters, digits, &quot;-&quot;, &quot;.&quot; and &quot;_&quot;</source>
        <translation>o nome de host &quot;%1&quot; tem um caractere que não é letra, dígito, &quot;-&quot;, &quot;.&quot; nem &quot;_&quot;</translation>
    </message>
    <message>
        <source>the port after &quot;:&quot; is missing</source>
        <translation>falta a porta depois de &quot;:&quot;</translation>
    </message>
    <message>
        <source>the port &quot;%1&quot; is not a number from 1 to 65535</source>
        <translation>a porta &quot;%1&quot; não é um número de 1 a 65535</translation>
    </message>
</context>
<context>
    <name>calimbra::ReadingView</name>
    <message>
        <source>Calimbra Monitor</source>
        <translation>Calimbra Monitor</translation>
    </message>
    <message>
        <source>The chart</source>
        <translation>o gráfico</translation>
    </message>
    <message>
        <source>%1 °C at %2</source>
        <translation>%1 °C às %2</translation>
    </message>
    <message>
        <source>at %1</source>
        <translation>às %1</translation>
    </message>
    <message>
        <source>Alarm on %1</source>
        <translation>Alarme em %1</translation>
    </message>
    <message>
        <source>%1 — %2</source>
        <translation>%1 — %2</translation>
    </message>
    <message>
        <source>high: above %1 °C</source>
        <translation>alto: acima de %1 °C</translation>
    </message>
    <message>
        <source>high: above the limit</source>
        <translation>alto: acima do limite</translation>
    </message>
    <message>
        <source>low: below %1 °C</source>
        <translation>baixo: abaixo de %1 °C</translation>
    </message>
    <message>
        <source>low: below the limit</source>
        <translation>baixo: abaixo do limite</translation>
    </message>
    <message>
        <source>lost: no value</source>
        <translation>perdido: sem valor</translation>
    </message>
</context>
<context>
    <name>calimbra::SamplingSession</name>
    <message>
        <source>A reply for another sensor (&quot;%1&quot;) arrived while sensor %2 was asked: a late answer to an earlier request, dropped. Late replies are dropped without saying so again; a longer time-out may avoid them.</source>
        <translation>Chegou uma resposta de outro sensor (&quot;%1&quot;) enquanto o sensor %2 era consultado: é uma resposta atrasada a um pedido anterior, e foi descartada. As próximas respostas atrasadas serão descartadas sem novo aviso; um tempo limite maior pode evitá-las.</translation>
    </message>
    <message>
        <source>The board did not answer.</source>
        <translation>A placa não respondeu.</translation>
    </message>
</context>
<context>
    <name>calimbra::SensorTable</name>
    <message>
        <source>no reply</source>
        <translation>sem resposta</translation>
    </message>
    <message>
        <source>garbled</source>
        <translation>corrompida</translation>
    </message>
    <message>
        <source>no value</source>
        <translation>sem valor</translation>
    </message>
    <message>
        <source>85 °C at power-on</source>
        <translation>85 °C ao ligar</translation>
    </message>
    <message>
        <source>disconnected</source>
        <translation>desconectado</translation>
    </message>
    <message>
        <source>(no reply)</source>
        <translation>(sem resposta)</translation>
    </message>
    <message>
        <source>%1 — not answering</source>
        <translation>%1 — sem resposta</translation>
    </message>
    <message>
        <source>port not open</source>
        <translation>porta não aberta</translation>
    </message>
    <message>
        <source>line lost</source>
        <translation>linha perdida</translation>
    </message>
    <message>
        <source>board not answering</source>
        <translation>placa sem resposta</translation>
    </message>
</context>
<context>
    <name>calimbra::SensorsDialog</name>
    <message>
        <source>No board&apos;s file yet: Save asks where to keep the profiles.</source>
        <translation>Ainda não há arquivo da placa: Salvar pergunta onde guardar os perfis.</translation>
    </message>
    <message>
        <source>Saved in the board&apos;s file %1, which calimbra-cli --config reads too; its other lines stay as they are.</source>
        <translation>Salvo no arquivo da placa %1, que o calimbra-cli --config também lê; as outras linhas do arquivo ficam como estão.</translation>
    </message>
    <message>
        <source>S%1: %2 takes a number, not &quot;%3&quot;.</source>
        <translation>S%1: %2 recebe um número, não &quot;%3&quot;.</translation>
    </message>
    <message>
        <source>S%1: the name holds a control character (a tab or a line break); a name is one line of printable text.</source>
        <translation>S%1: o nome contém um caractere de controle (uma tabulação ou uma quebra de linha); um nome é uma linha de texto imprimível.</translation>
    </message>
    <message>
        <source>S%1: the low limit (%2 °C) must be below the high limit (%3 °C).</source>
        <translation>S%1: o limite inferior (%2 °C) deve ficar abaixo do limite superior (%3 °C).</translation>
    </message>
    <message>
        <source>S%1: the hysteresis is a distance back inside a limit: 0 °C or more.</source>
        <translation>S%1: a histerese é uma distância de volta para dentro de um limite: 0 °C ou mais.</translation>
    </message>
    <message>
        <source>S%1: %2 takes seconds from 0 to 86400, not &quot;%3&quot;.</source>
        <translation>S%1: %2 recebe segundos de 0 a 86400, não &quot;%3&quot;.</translation>
    </message>
    <message>
        <source>S%1: %2 takes a whole number of rounds, 1 or more, not &quot;%3&quot;.</source>
        <translation>S%1: %2 recebe um número inteiro de rodadas, 1 ou mais, não &quot;%3&quot;.</translation>
    </message>
    <message>
        <source>Save the sensors&apos; profiles to</source>
        <translation>Salvar os perfis dos sensores em</translation>
    </message>
    <message>
        <source>Board&apos;s files (*.conf);;All files (*)</source>
        <translation>Arquivos de placa (*.conf);;Todos os arquivos (*)</translation>
    </message>
    <message>
        <source>Correct it and save again.</source>
        <translation>Corrija e salve de novo.</translation>
    </message>
</context>
<context>
    <name>calimbra::SerialWatch</name>
    <message>
        <source>The monitor keeps trying by itself.</source>
        <translation>O monitor continua tentando sozinho.</translation>
    </message>
    <message>
        <source>last round %1</source>
        <translation>última rodada %1</translation>
    </message>
    <message>
        <source>Reading %1 every %2 s</source>
        <translation>Lendo %1 a cada %2 s</translation>
    </message>
    <message>
        <source>retrying by itself</source>
        <translation>tentando de novo sozinho</translation>
    </message>
    <message>
        <source>next round %1</source>
        <translation>próxima rodada %1</translation>
    </message>
</context>
<context>
    <name>calimbra::Sink</name>
    <message>
        <source>%1 works again.</source>
        <translation>%1 voltou a funcionar.</translation>
    </message>
    <message>
        <source>%1 failed: %2</source>
        <translation>%1 falhou: %2</translation>
    </message>
</context>
<context>
    <name>calimbra::StatusLine</name>
    <message>
        <source>Reading %1: %2 %</source>
        <translation>Lendo %1: %2 %</translation>
    </message>
    <message>
        <source>%1: readings from %2 to %3, %4 in all, followed as it grows</source>
        <translation>%1: leituras de %2 a %3, %4 ao todo, acompanhado enquanto cresce</translation>
    </message>
    <message>
        <source>%1 holds no readings yet; they are shown as they are written</source>
        <translation>%1 ainda não tem leituras; elas aparecem à medida que são gravadas</translation>
    </message>
    <message>
        <source>Stopped</source>
        <translation>Parado</translation>
    </message>
    <message>
        <source>recording to %1</source>
        <translation>gravando em %1</translation>
    </message>
    <message>
        <source>last error from %1 to %2: %3</source>
        <translation>último erro de %1 a %2: %3</translation>
    </message>
    <message>
        <source>last error at %1: %2</source>
        <translation>último erro às %1: %2</translation>
    </message>
    <message>
        <source>Waiting for the board&apos;s first readings…</source>
        <translation>Aguardando as primeiras leituras da placa…</translation>
    </message>
    <message>
        <source>Waiting for a board to announce itself on the broker…</source>
        <translation>Aguardando uma placa se anunciar no broker…</translation>
    </message>
    <message>
        <source>Waiting for the readings of %1 from the broker…</source>
        <translation>Aguardando as leituras de %1 pelo broker…</translation>
    </message>
    <message>
        <source>The log holds no readings yet; they are shown as they are written.</source>
        <translation>O registro ainda não tem leituras; elas aparecem à medida que são gravadas.</translation>
    </message>
    <message>
        <source>Type the broker&apos;s URL in the Broker field and press Start (F5),
or open a log with File › Open log… (Ctrl+O).</source>
        <translation>Digite a URL do broker no campo Broker e pressione Iniciar (F5),
ou abra um registro com Arquivo › Abrir registro… (Ctrl+O).</translation>
    </message>
    <message>
        <source>Choose the board&apos;s port in the Port field and press Start (F5),
or open a log with File › Open log… (Ctrl+O).</source>
        <translation>Escolha a porta da placa no campo Porta e pressione Iniciar (F5),
ou abra um registro com Arquivo › Abrir registro… (Ctrl+O).</translation>
    </message>
    <message>
        <source>Connecting to the broker %1</source>
        <translation>Conectando ao broker %1</translation>
    </message>
    <message>
        <source>board %1</source>
        <translation>placa %1</translation>
    </message>
    <message>
        <source>Connected to the broker %1; no board has announced itself yet</source>
        <translation>Conectado ao broker %1; nenhuma placa se anunciou ainda</translation>
    </message>
    <message>
        <source>Connected to the broker %1; choose a board in the Board field</source>
        <translation>Conectado ao broker %1; escolha uma placa no campo Placa</translation>
    </message>
    <message>
        <source>Watching board %1 on the broker %2</source>
        <translation>Observando a placa %1 no broker %2</translation>
    </message>
    <message>
        <source>the board has not announced itself</source>
        <translation>a placa não se anunciou</translation>
    </message>
    <message>
        <source>the board is online</source>
        <translation>a placa está online</translation>
    </message>
    <message>
        <source>the board is offline since %1</source>
        <translation>a placa está offline desde %1</translation>
    </message>
    <message>
        <source>last reading %1</source>
        <translation>última leitura %1</translation>
    </message>
</context>
<context>
    <name>calimbra::TemperatureChart</name>
    <message>
        <source>Local time</source>
        <translation>Hora local</translation>
    </message>
    <message>
        <source>°C</source>
        <translation>°C</translation>
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
    <name>calimbra::board_settings</name>
    <message>
        <source>takes sensors from 1 to 9, like 1,3,5-7.</source>
        <translation>recebe sensores de 1 a 9, como 1,3,5-7.</translation>
    </message>
    <message>
        <source>names no program to run.</source>
        <translation>não indica nenhum programa a executar.</translation>
    </message>
    <message>
        <source>name</source>
        <translation>nome</translation>
    </message>
    <message>
        <source>Serial port: COM1 to COMn, a device such as /dev/ttyUSB0, or any path to one (default COM1, that is /dev/ttyS0).</source>
        <translation>Porta serial: COM1 a COMn, um dispositivo como /dev/ttyUSB0, ou qualquer caminho até um (padrão COM1, isto é, /dev/ttyS0).</translation>
    </message>
    <message>
        <source>takes the board&apos;s serial port.</source>
        <translation>recebe a porta serial da placa.</translation>
    </message>
    <message>
        <source>rate</source>
        <translation>velocidade</translation>
    </message>
    <message>
        <source>Baud rate (default 9600; 8N1, no flow control).</source>
        <translation>Velocidade em baud (padrão 9600; 8N1, sem controle de fluxo).</translation>
    </message>
    <message>
        <source>takes a whole number of bits per second from 1 to %1, like 9600.</source>
        <translation>recebe um número inteiro de bits por segundo de 1 a %1, como 9600.</translation>
    </message>
    <message>
        <source>ms</source>
        <translation>ms</translation>
    </message>
    <message>
        <source>How long to wait for each reply, in milliseconds (default 2000).</source>
        <translation>Quanto esperar por cada resposta, em milissegundos (padrão 2000).</translation>
    </message>
    <message>
        <source>takes a whole number of milliseconds from 1 to %1, like 2000.</source>
        <translation>recebe um número inteiro de milissegundos de 1 a %1, como 2000.</translation>
    </message>
    <message>
        <source>seconds</source>
        <translation>segundos</translation>
    </message>
    <message>
        <source>log: seconds from the start of one round to the next, 0.1 to 86400 (default 10).</source>
        <translation>log: segundos entre o início de uma rodada e o da seguinte, de 0.1 a 86400 (padrão 10).</translation>
    </message>
    <message>
        <source>rounds</source>
        <translation>rodadas</translation>
    </message>
    <message>
        <source>log: stop after this many rounds; gives up (status 2 or 3) when they are not done within count x interval + 30 s + 10 x timeout.</source>
        <translation>log: para depois deste número de rodadas; desiste (código 2 ou 3) quando elas não terminam em rodadas x intervalo + 30 s + 10 x tempo limite.</translation>
    </message>
    <message>
        <source>takes a whole number of rounds from 1 to %1.</source>
        <translation>recebe um número inteiro de rodadas de 1 a %1.</translation>
    </message>
    <message>
        <source>list</source>
        <translation>lista</translation>
    </message>
    <message>
        <source>log: the sensors to read, e.g. 1,3,5-7 (default: all active ones).</source>
        <translation>log: os sensores a ler, por exemplo 1,3,5-7 (padrão: todos os ativos).</translation>
    </message>
    <message>
        <source>log: the board&apos;s name in topics, ids and metrics (letters, digits, _ and -; default: from the port&apos;s stable name).</source>
        <translation>log: o nome da placa em tópicos, ids e métricas (letras, dígitos, _ e -; padrão: a partir do nome estável da porta).</translation>
    </message>
    <message>
        <source>command</source>
        <translation>comando</translation>
    </message>
    <message>
        <source>log: run this command (without a shell) when an alarm is raised or cleared.</source>
        <translation>log: executa este comando (sem shell) quando um alarme é disparado ou normalizado.</translation>
    </message>
</context>
<context>
    <name>calimbra::cli</name>
    <message>
        <source>Could not write to standard output: it is closed.</source>
        <translation>Não foi possível escrever na saída padrão: ela está fechada.</translation>
    </message>
    <message>
        <source>The reader of standard output went away.</source>
        <translation>O programa que lia a saída padrão foi encerrado.</translation>
    </message>
    <message>
        <source>Could not write to %1: %2.</source>
        <translation>Não foi possível escrever para %1: %2.</translation>
    </message>
    <message>
        <source>standard output</source>
        <translation>a saída padrão</translation>
    </message>
</context>
<context>
    <name>calimbra::cli::LogService</name>
    <message>
        <source>The board&apos;s name &quot;%1&quot; may hold only letters, digits, _ and - (at most 64); choose another with --board.</source>
        <translation>O nome da placa &quot;%1&quot; só pode conter letras, dígitos, _ e - (no máximo 64); escolha outro com --board.</translation>
    </message>
    <message>
        <source>Serial port %1 is in use by another program (%2, process %3); a second logger on one board is refused.</source>
        <translation>A porta serial %1 está em uso por outro programa (%2, processo %3); um segundo registrador na mesma placa é recusado.</translation>
    </message>
    <message>
        <source>Could not write to standard output: it is closed. Name a file with --output.</source>
        <translation>Não foi possível escrever na saída padrão: ela está fechada. Indique um arquivo com --output.</translation>
    </message>
    <message>
        <source>The alarms active when the service last stopped are not known: %1</source>
        <translation>Não se sabe quais alarmes estavam ativos quando o serviço parou pela última vez: %1</translation>
    </message>
    <message>
        <source>Reading %1 every %2 s</source>
        <translation>Lendo %1 a cada %2 s</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>%1: alarm %2 raised for sensor %3%4.</source>
        <translation>%1: alarme %2 disparado para o sensor %3%4.</translation>
    </message>
    <message>
        <source>%1: alarm %2 cleared for sensor %3%4.</source>
        <translation>%1: alarme %2 normalizado para o sensor %3%4.</translation>
    </message>
    <message>
        <source>Active alarms cannot be kept for the next start: %1</source>
        <translation>Os alarmes ativos não podem ser guardados para o próximo início: %1</translation>
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
        <source>Gave up: the %1 rounds asked for were not done within %2 s.</source>
        <translation>Encerrado sem concluir: as %1 rodadas pedidas não terminaram em %2 s.</translation>
    </message>
</context>
<context>
    <name>calimbra::cli::Questions</name>
    <message>
        <source>A reply for another sensor (&quot;%1&quot;) arrived while sensor %2 was asked: a late answer to an earlier request, dropped.</source>
        <translation>Chegou uma resposta de outro sensor (&quot;%1&quot;) enquanto o sensor %2 era consultado: é uma resposta atrasada a um pedido anterior, e foi descartada.</translation>
    </message>
    <message>
        <source>The reply for sensor %1 was garbled (cut short, or with bytes after a zero byte): &quot;%2&quot;.</source>
        <translation>A resposta do sensor %1 veio corrompida (cortada, ou com bytes depois de um byte zero): &quot;%2&quot;.</translation>
    </message>
    <message>
        <source>Sensor %1 answered %2, a value its firmware gives when %3; it is not taken as a reading.</source>
        <translation>O sensor %1 respondeu %2, um valor que o firmware dele dá quando %3; isso não é considerado uma leitura.</translation>
    </message>
    <message>
        <source>it has just been powered on</source>
        <translation>o sensor acaba de ser ligado</translation>
    </message>
    <message>
        <source>the sensor did not answer</source>
        <translation>o sensor não respondeu</translation>
    </message>
</context>
<context>
    <name>calimbra::file_output</name>
    <message>
        <source>takes csv, json or influx.</source>
        <translation>recebe csv, json ou influx.</translation>
    </message>
    <message>
        <source>format</source>
        <translation>formato</translation>
    </message>
    <message>
        <source>log: csv (time, sensor, celsius, reply, name, with a header in a new file), json (JSON Lines) or influx (InfluxDB line protocol). Default csv.</source>
        <translation>log: csv (hora, sensor, graus Celsius, resposta, nome, com cabeçalho num arquivo novo), json (JSON Lines) ou influx (protocolo de linha do InfluxDB). Padrão csv.</translation>
    </message>
    <message>
        <source>file</source>
        <translation>arquivo</translation>
    </message>
    <message>
        <source>log: append to this file instead of writing to standard output.</source>
        <translation>log: acrescenta a este arquivo em vez de escrever na saída padrão.</translation>
    </message>
    <message>
        <source>takes the path of a file.</source>
        <translation>recebe o caminho de um arquivo.</translation>
    </message>
</context>
<context>
    <name>calimbra::judge</name>
    <message>
        <source>%1 The decimal mark is a point (20.5), and a comma is never a thousands separator: write 20000, not 20,000.</source>
        <translation>%1 O separador decimal é o ponto (20.5), e a vírgula nunca separa milhares: escreva 20000, não 20,000.</translation>
    </message>
    <message>
        <source>takes yes or no (true or false, on or off also do).</source>
        <translation>recebe yes ou no (true ou false, on ou off também servem).</translation>
    </message>
</context>
<context>
    <name>calimbra::metrics_output</name>
    <message>
        <source>[host:]port</source>
        <translation>[host:]porta</translation>
    </message>
    <message>
        <source>log: serve Prometheus metrics at http://HOST:PORT/metrics (default host 127.0.0.1).</source>
        <translation>log: serve métricas Prometheus em http://HOST:PORTA/metrics (host padrão 127.0.0.1).</translation>
    </message>
</context>
<context>
    <name>calimbra::mqtt_output</name>
    <message>
        <source>takes the path of a file.</source>
        <translation>recebe o caminho de um arquivo.</translation>
    </message>
    <message>
        <source>url</source>
        <translation>url</translation>
    </message>
    <message>
        <source>log: publish to this MQTT broker, mqtt://[user[:password]@]host[:port] or mqtts://... for TLS.</source>
        <translation>log: publica neste broker MQTT, mqtt://[usuário[:senha]@]host[:porta] ou mqtts://... para TLS.</translation>
    </message>
    <message>
        <source>log: do not announce the sensors to Home Assistant.</source>
        <translation>log: não anuncia os sensores ao Home Assistant.</translation>
    </message>
    <message>
        <source>prefix</source>
        <translation>prefixo</translation>
    </message>
    <message>
        <source>log: Home Assistant&apos;s discovery prefix (default homeassistant).</source>
        <translation>log: o prefixo de descoberta do Home Assistant (padrão homeassistant).</translation>
    </message>
    <message>
        <source>folder</source>
        <translation>pasta</translation>
    </message>
    <message>
        <source>log: the folder of the readings waiting for the broker (default $STATE_DIRECTORY, or ~/.local/state/calimbra/BOARD).</source>
        <translation>log: a pasta das leituras que aguardam o broker (padrão $STATE_DIRECTORY, ou ~/.local/state/calimbra/BOARD).</translation>
    </message>
    <message>
        <source>takes the path of a folder.</source>
        <translation>recebe o caminho de uma pasta.</translation>
    </message>
    <message>
        <source>readings</source>
        <translation>leituras</translation>
    </message>
    <message>
        <source>log: readings kept while the broker is away; beyond it the oldest are dropped (default 1000000).</source>
        <translation>log: leituras guardadas enquanto o broker está fora do ar; além desse número, as mais antigas são descartadas (padrão 1000000).</translation>
    </message>
    <message>
        <source>takes a whole number of readings from 1 to %1.</source>
        <translation>recebe um número inteiro de leituras de 1 a %1.</translation>
    </message>
    <message>
        <source>%1 The outbox keeps the readings bound for the broker; give it a folder of its own that this user may write with --outbox.</source>
        <translation>%1 A caixa de saída guarda as leituras destinadas ao broker; dê a ela, com --outbox, uma pasta própria em que este usuário possa escrever.</translation>
    </message>
</context>
<context>
    <name>std::chrono</name>
    <message>
        <source>takes a number of seconds from %1 to %2.</source>
        <translation>recebe um número de segundos de %1 a %2.</translation>
    </message>
</context>
</TS>
