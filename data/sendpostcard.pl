#!/usr/bin/perl
# sendpostcard.pl - the e-card service of Vistrel, a CGI script for the web server that hosts your
# photo site. Vistrel calls it once per recipient with
#   GET /cgi-bin/sendpostcard.pl?sendername=..&recipient=..&language=..&message=..
#       &postcardurl=..&imagepath=..&subject=..&galleryemail=..
# It checks the request and hands one mail to the local sendmail. Perl core modules only, so it runs
# on any shared host. Install: copy it into cgi-bin, make it executable (chmod 755) and adjust the
# settings below; the help page "Einladungen verschicken" explains the steps.
use strict;
use warnings;
use Fcntl qw(:flock O_RDWR O_CREAT);
use File::Spec;

# ---- settings -----------------------------------------------------------------------------------
# Addresses of your photo site: a card's link must begin with one of them, so that nobody can use
# this script to mail links to other sites. Write each with "http://" and a trailing "/".
my @SITES = ('http://www.example.org/');
# The mail program; it is started directly, never through a shell.
my $SENDMAIL = '/usr/sbin/sendmail';
# The sender of every card. Replies go to the e-mail address set in Vistrel (Reply-To).
my $MAIL_FROM = 'Vistrel eCard <ecard@example.org>';
# At most this many cards per hour, for all senders together.
my $MAX_CARDS_PER_HOUR = 60;
# Where the times of the cards of the last hour are kept.
my $COUNTER_FILE = File::Spec->catfile(File::Spec->tmpdir(), "sendpostcard-$<.count");
# -------------------------------------------------------------------------------------------------

my $MAX_ADDRESS_LENGTH = 254;
my $MAX_MESSAGE_LENGTH = 4000;
my $MAX_FIELD_LENGTH   = 500;

sub answer {
    my ($status, $title, $text) = @_;
    for ($title, $text) { s/&/&amp;/g; s/</&lt;/g; s/>/&gt;/g; }
    print "Status: $status\r\n";
    print "Content-Type: text/html; charset=utf-8\r\n\r\n";
    print "<html><head><title>$title</title></head><body><h1>$title</h1><p>$text</p></body></html>\n";
    exit 0;
}

sub refuse { answer('400 Bad Request', 'Fehler', $_[0]) }

sub url_decode {
    my ($value) = @_;
    $value =~ tr/+/ /;
    $value =~ s/%([0-9A-Fa-f]{2})/chr(hex($1))/ge;
    return $value;
}

sub parse_query {
    my ($query) = @_;
    my %fields;
    for my $pair (split /&/, $query) {
        my ($name, $value) = split /=/, $pair, 2;
        next unless defined $name && length $name;
        $value = '' unless defined $value;
        $name = url_decode($name);
        refuse("Feld $name doppelt") if exists $fields{$name};
        $fields{$name} = url_decode($value);
    }
    return %fields;
}

# The address rule of the program (an "@" and a "." after it) plus a length limit and no character
# that would let one field name several recipients or leave the header.
sub valid_address {
    my ($address) = @_;
    return 0 if length($address) > $MAX_ADDRESS_LENGTH;
    return 0 if $address =~ /[\x00-\x20\x7f,;<>"()\[\]\\]/;
    my $at = index($address, '@');
    return $at > 0 && index($address, '.', $at + 1) > $at;
}

sub header_value_ok { return $_[0] !~ /[\x00-\x1f\x7f]/ }

sub site_allowed {
    my ($url) = @_;
    for my $site (@SITES) {
        return 1 if length($site) && substr($url, 0, length $site) eq $site;
    }
    return 0;
}

# A header text with bytes above 127 becomes an RFC 2047 word; the program sends Windows-1252.
sub encode_header {
    my ($text) = @_;
    return $text unless $text =~ /[\x80-\xff]/;
    my $encoded = $text;
    $encoded =~ s/([^A-Za-z0-9!*+\-\/ ])/sprintf('=%02X', ord $1)/ge;
    $encoded =~ tr/ /_/;
    return "=?windows-1252?Q?$encoded?=";
}

# Counts the cards of the last hour and, when there is room, notes one more. The lock keeps two
# requests at the same time from both taking the last place.
sub take_hourly_place {
    sysopen(my $fh, $COUNTER_FILE, O_RDWR | O_CREAT, 0600) or answer('500 Internal Server Error', 'Fehler',
        'Der Zähler kann nicht geöffnet werden.');
    flock($fh, LOCK_EX) or answer('500 Internal Server Error', 'Fehler', 'Der Zähler kann nicht gesperrt werden.');
    my $now = time;
    my @recent = grep { /^\d+$/ && $_ > $now - 3600 } map { chomp; $_ } <$fh>;
    if (@recent >= $MAX_CARDS_PER_HOUR) {
        close $fh;
        answer('500 Internal Server Error', 'Fehler', 'Es wurden in der letzten Stunde zu viele Karten verschickt.');
    }
    push @recent, $now;
    seek($fh, 0, 0);
    truncate($fh, 0);
    print {$fh} map { "$_\n" } @recent;
    close $fh;
}

sub send_mail {
    my ($to, $reply_to, $subject, $body) = @_;
    my $pid = open(my $mail, '|-');
    answer('500 Internal Server Error', 'Fehler', 'Das Mailprogramm kann nicht gestartet werden.') unless defined $pid;
    if ($pid == 0) {
        # Whatever the mail program prints must not end up in our answer to the browser.
        open(STDOUT, '>&', \*STDERR);
        exec { $SENDMAIL } $SENDMAIL, '-t', '-i' or exit 127;
    }
    print {$mail} "From: $MAIL_FROM\n";
    print {$mail} "To: $to\n";
    print {$mail} "Reply-To: $reply_to\n";
    print {$mail} 'Subject: ' . encode_header($subject) . "\n";
    print {$mail} "MIME-Version: 1.0\n";
    print {$mail} "Content-Type: text/plain; charset=windows-1252\n";
    print {$mail} "Content-Transfer-Encoding: 8bit\n\n";
    print {$mail} $body;
    close $mail;
    return $? == 0;
}

my $method = $ENV{REQUEST_METHOD} || '';
refuse('Nur GET-Anfragen werden angenommen.') unless $method eq 'GET';
my %card = parse_query($ENV{QUERY_STRING} || '');
for my $key (qw(sendername recipient message postcardurl imagepath subject galleryemail)) {
    refuse("Feld $key fehlt") unless defined $card{$key};
}
for my $key (qw(sendername recipient postcardurl imagepath subject galleryemail language)) {
    next unless defined $card{$key};
    refuse("Feld $key enthält Steuerzeichen") unless header_value_ok($card{$key});
    refuse("Feld $key ist zu lang") if length($card{$key}) > $MAX_FIELD_LENGTH;
}
refuse('Die Nachricht ist zu lang.') if length($card{message}) > $MAX_MESSAGE_LENGTH;
refuse('Die Empfängeradresse ist ungültig.') unless valid_address($card{recipient});
refuse('Die Absenderadresse ist ungültig.') unless valid_address($card{galleryemail});
refuse('Die Postkarte liegt nicht auf dieser Website.') unless site_allowed($card{postcardurl});
refuse('Der Bildname ist ungültig.') if $card{imagepath} eq '' || $card{imagepath} =~ m{[/\\]|^\.};

(my $folder = $card{postcardurl}) =~ s{[^/]*$}{};
my $picture = $folder . 'images/' . $card{imagepath};
my $sender = $card{sendername} ne '' ? $card{sendername} : $card{galleryemail};
(my $message = $card{message}) =~ s/\r\n?/\n/g;

my $body = "Hallo,\n\n"
    . "$sender hat Ihnen eine Postkarte geschickt.\n\n"
    . ($message ne '' ? "$message\n\n" : '')
    . "Zur Postkarte: $card{postcardurl}\n"
    . "Das Bild: $picture\n\n"
    . "-- \nWenn Sie antworten, geht Ihre Nachricht an $card{galleryemail}.\n";

take_hourly_place();
send_mail($card{recipient}, $card{galleryemail}, $card{subject}, $body)
    or answer('500 Internal Server Error', 'Fehler', 'Die Karte konnte nicht verschickt werden.');
answer('200 OK', 'Postkarte verschickt', 'Die Postkarte ist unterwegs.');
