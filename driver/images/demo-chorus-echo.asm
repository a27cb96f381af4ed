;;; A stereo chorus and a long echo for the simulated chip's demo, written for
;;; the as10k1 assembler (Debian package alsa-tools):
;;;     as10k1 demo-chorus-echo.asm   (writes demo-chorus-echo.emu10k1)
;;; The chorus line is short enough for the internal TRAM left free by
;;; demo.chip; the echo line is not, so the loader puts it in external TRAM.

	name	"chorus-echo"

C_0	equ	$040
C_2^30	equ	$04d

left	IO
right	IO

rate	control	0.0003,0,0.001		; sweep oscillator step, about 2.3 Hz
centre	control	&0.008,&0.004,&0.012	; chorus delay
depth	control	&0.004,0,&0.008		; chorus sweep
mix	control	0.5,0,0.99		; chorus level
echo	control	0.4,0,0.99		; echo level
fback	control	0.45,0,0.9		; echo feedback

sinx	sta	0
cosx	sta	0.5
sweep	dyn
mono	dyn
wet	dyn

chor	delay	&0.02			; 961 samples
cw	twrite	chor,0
cr	tread	chor,&0.008

long	delay	&0.35			; 16801 samples
lw	twrite	long,0
lr	tread	long,&0.3

;;; the sweep: a two-instruction sine oscillator
	macs	sinx,sinx,rate,cosx
	macs1	cosx,cosx,rate,sinx
;;; chorus read point = write point + centre + depth * sin
	macs	sweep,centre,depth,sinx
	acc3	cr.a,sweep,cw.a,C_0
;;; a mono send feeds both lines; the echo feeds back on itself
	macs	mono,C_0,left,C_2^30
	macs	mono,mono,right,C_2^30
	macs	cw,mono,C_0,C_0
	macs	lw,mono,lr,fback
;;; the wet signal goes to both sides
	macs	wet,C_0,cr,mix
	macs	wet,wet,lr,echo
	acc3	left,left,wet,C_0
	acc3	right,right,wet,C_0

	end
